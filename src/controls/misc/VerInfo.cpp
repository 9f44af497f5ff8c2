#include "controls/misc/VerInfo.h"

#include <cstring>

#include "platform/core/SysUtils.h"
#include "platform/core/VersionResources.h"

namespace {

constexpr std::size_t kNodeHeader = 6;  // wLength, wValueLength, wType

std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t U32(std::string_view b, std::size_t at) { return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16; }

std::size_t Align4(std::size_t n) { return (n + 3) & ~static_cast<std::size_t>(3); }

// One node of the block, every offset within [start, end).
struct Node {
  std::size_t start = 0, end = 0;
  std::size_t keyStart = 0, keyChars = 0;
  std::size_t valueStart = 0, valueSize = 0;
  std::size_t childrenStart = 0;
  bool text = false;
};

// Reads the node at `pos`; it must lie within `limit`. Offsets are relative to the start of
// the block, which is where the 4-byte alignment counts from.
bool ReadNode(std::string_view b, std::size_t pos, std::size_t limit, Node& n) {
  if (pos > limit || limit - pos < kNodeHeader) return false;
  const std::size_t length = U16(b, pos);
  if (length < kNodeHeader || length > limit - pos) return false;
  n.start = pos;
  n.end = pos + length;
  const std::size_t valueLength = U16(b, pos + 2);
  n.text = U16(b, pos + 4) == 1;
  n.keyStart = pos + kNodeHeader;
  std::size_t k = n.keyStart;
  while (true) {
    if (n.end - k < 2) return false;  // the key must end inside the node
    if (U16(b, k) == 0) break;
    k += 2;
  }
  n.keyChars = (k - n.keyStart) / 2;
  n.valueStart = std::min(Align4(k + 2), n.end);
  // A text value counts UTF-16 code units; a binary one bytes. Some writers count the
  // bytes of a text too: the value is cut at the node's end either way.
  n.valueSize = std::min(n.text ? valueLength * std::size_t{2} : valueLength, n.end - n.valueStart);
  n.childrenStart = std::min(Align4(n.valueStart + n.valueSize), n.end);
  return true;
}

bool KeyIs(std::string_view b, const Node& n, std::string_view name) {
  if (n.keyChars != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    std::uint16_t c = U16(b, n.keyStart + 2 * i);
    if (c >= 0x80 || cp::AnsiUpper(static_cast<unsigned char>(c)) != cp::AnsiUpper(static_cast<unsigned char>(name[i])))
      return false;
  }
  return true;
}

// UTF-16LE code units up to the first zero -> 1251 text.
AnsiString Utf16To1251(std::string_view units) {
  AnsiString r;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    char32_t u = U16(units, i);
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < units.size()) {
      char32_t lo = U16(units, i + 2);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    r += static_cast<char>(cp::UnicodeTo1251(u));
  }
  return r;
}

void PutU16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

void Pad4(std::string& out) {
  while (out.size() % 4) out += '\0';
}

std::string Utf16(std::string_view ansi) {
  std::string r;
  for (unsigned char c : ansi) {
    char32_t u = cp::Ansi1251ToUnicode(c);
    if (u >= 0x10000) u = '?';
    PutU16(r, static_cast<std::uint32_t>(u));
  }
  return r;
}

// A node with its UTF-16 key, value and (already built) children.
std::string MakeNode(std::string_view key, bool text, std::string_view value, std::size_t valueLength,
                     const std::vector<std::string>& children) {
  std::string n(kNodeHeader, '\0');
  n += Utf16(key);
  PutU16(n, 0);
  Pad4(n);
  n += value;
  for (const std::string& c : children) {
    Pad4(n);
    n += c;
  }
  if (n.size() > 0xFFFF) throw ERangeError("Version block too long");
  n[0] = static_cast<char>(n.size() & 0xFF);
  n[1] = static_cast<char>(n.size() >> 8);
  n[2] = static_cast<char>(valueLength & 0xFF);
  n[3] = static_cast<char>((valueLength >> 8) & 0xFF);
  n[4] = text ? 1 : 0;
  return n;
}

}  // namespace

AnsiString LongVersionToString(const TLongVersion& v) {
  return Format("%d.%d.%d.%d", {v.MS >> 16, v.MS & 0xFFFF, v.LS >> 16, v.LS & 0xFFFF});
}

bool VerQueryValue(std::string_view block, std::string_view subBlock, std::string_view& value, bool& text) {
  Node node;
  if (!ReadNode(block, 0, block.size(), node)) return false;
  std::size_t i = 0;
  while (i < subBlock.size()) {
    std::size_t sep = subBlock.find('\\', i);
    if (sep == std::string_view::npos) sep = subBlock.size();
    std::string_view name = subBlock.substr(i, sep - i);
    i = sep + 1;
    if (name.empty()) continue;
    bool found = false;
    for (std::size_t pos = node.childrenStart; pos < node.end;) {
      Node child;
      if (!ReadNode(block, pos, node.end, child)) return false;
      if (KeyIs(block, child, name)) {
        node = child;
        found = true;
        break;
      }
      pos = Align4(child.end);  // every node is at least a header long: the walk advances
    }
    if (!found) return false;
  }
  value = block.substr(node.valueStart, node.valueSize);
  text = node.text;
  return true;
}

// ---------------------------------------------------------------------------------
// TVersionInfo

TVersionInfo::TVersionInfo(AnsiString FileName) : fileName_(std::move(FileName)) { ReadVersionInfo(); }

void TVersionInfo::ReadVersionInfo() {
  valid_ = false;
  fixed_.reset();
  buffer_.clear();
  const std::uint32_t size = GetFileVersionInfoSize(fileName_, handle_);
  if (size == 0) return;
  try {
    buffer_.resize(size);
  } catch (...) {
    valid_ = false;
    throw;
  }
  valid_ = GetFileVersionInfo(fileName_, handle_, size, buffer_.data());
  Node root;
  if (valid_ && !ReadNode(buffer_, 0, buffer_.size(), root)) valid_ = false;  // not a version block at all
  if (!valid_) return;
  std::string_view v;
  bool text = false;
  if (VerQueryValue(buffer_, "\\", v, text) && v.size() >= kFixedFileInfoSize && U32(v, 0) == TVSFixedFileInfo::kSignature) {
    TVSFixedFileInfo f;
    std::uint32_t* fields[] = {&f.dwSignature,     &f.dwStrucVersion,   &f.dwFileVersionMS, &f.dwFileVersionLS,
                               &f.dwProductVersionMS, &f.dwProductVersionLS, &f.dwFileFlagsMask, &f.dwFileFlags,
                               &f.dwFileOS,        &f.dwFileType,       &f.dwFileSubtype,   &f.dwFileDateMS,
                               &f.dwFileDateLS};
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = U32(v, 4 * i);
    fixed_ = f;
  }
}

std::optional<std::uint32_t> TVersionInfo::GetTranslation() const {
  if (!valid_) return std::nullopt;
  std::string_view v;
  bool text = false;
  if (!VerQueryValue(buffer_, "\\VarFileInfo\\Translation", v, text) || v.size() < 4) return std::nullopt;
  return U32(v, 0);
}

AnsiString TVersionInfo::GetTranslationString() const {
  auto t = GetTranslation();
  if (!t) return AnsiString();
  return IntToHex(*t & 0xFFFF, 4) + IntToHex(*t >> 16, 4);
}

const TVSFixedFileInfo* TVersionInfo::GetFixedFileInfo() const { return valid_ && fixed_ ? &*fixed_ : nullptr; }

TLongVersion TVersionInfo::GetFileLongVersion() const {
  const TVSFixedFileInfo* f = GetFixedFileInfo();
  return f ? TLongVersion{f->dwFileVersionMS, f->dwFileVersionLS} : TLongVersion{};
}

AnsiString TVersionInfo::GetVerValue(std::string_view Key) const {
  if (!valid_) return AnsiString();
  const AnsiString translation = GetTranslationString();
  if (translation.empty()) return AnsiString();
  std::string_view v;
  bool text = false;
  if (!VerQueryValue(buffer_, "\\StringFileInfo\\" + translation + "\\" + AnsiString(Key), v, text)) return AnsiString();
  return Utf16To1251(v);
}

AnsiString TVersionInfo::GetFileVersion() const {
  AnsiString r = GetVerValue("FileVersion");
  if (r.empty() && valid_ && GetFixedFileInfo()) r = LongVersionToString(GetFileLongVersion());
  return r;
}

// ---------------------------------------------------------------------------------
// Writing

std::string BuildVersionBlock(const TVersionBlockSpec& spec) {
  std::string fixed;
  if (spec.FixedInfo) {
    const TVSFixedFileInfo& f = *spec.FixedInfo;
    for (std::uint32_t v : {f.dwSignature, f.dwStrucVersion, f.dwFileVersionMS, f.dwFileVersionLS,
                            f.dwProductVersionMS, f.dwProductVersionLS, f.dwFileFlagsMask, f.dwFileFlags, f.dwFileOS,
                            f.dwFileType, f.dwFileSubtype, f.dwFileDateMS, f.dwFileDateLS})
      PutU32(fixed, v);
  }
  const AnsiString translation = IntToHex(spec.Language, 4) + IntToHex(spec.CodePage, 4);
  std::vector<std::string> strings;
  for (const auto& [key, value] : spec.Strings) {
    std::string v = Utf16(value);
    PutU16(v, 0);
    strings.push_back(MakeNode(key, true, v, v.size() / 2, {}));
  }
  std::vector<std::string> children;
  children.push_back(MakeNode("StringFileInfo", true, {}, 0, {MakeNode(translation, true, {}, 0, strings)}));
  if (spec.WithTranslation) {
    std::string t;
    PutU16(t, spec.Language);
    PutU16(t, spec.CodePage);
    children.push_back(MakeNode("VarFileInfo", true, {}, 0, {MakeNode("Translation", false, t, t.size(), {})}));
  }
  return MakeNode("VS_VERSION_INFO", false, fixed, fixed.size(), children);
}
