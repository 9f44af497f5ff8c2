#include "controls/tree/MtUtils.h"

bool StreamWriteString(TStream& stream, const AnsiString& s) {
  try {
    if (s.size() > static_cast<std::size_t>(INT32_MAX)) return false;
    stream.WriteInt32(static_cast<std::int32_t>(s.size()));
    stream.WriteString(s);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool StreamReadString(TStream& stream, AnsiString& s) {
  try {
    std::int32_t length = stream.ReadInt32();
    if (length < 0) throw EReadError("Invalid string header read from the stream");
    // ReadString checks the length against the bytes left before it allocates.
    AnsiString read = length == 0 ? AnsiString() : stream.ReadString(length);
    s = std::move(read);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

const TMtSystemFlags& MtSystemFlags() {
  static const TMtSystemFlags flags;
  return flags;
}
