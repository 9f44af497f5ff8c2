#include "platform/core/Classes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/core/Files.h"

static_assert(std::endian::native == std::endian::little, "the file formats are little-endian");

void TPersistent::Assign(const TPersistent* source) {
  (void)source;
  throw EConvertError("Cannot assign");
}

// ---------------------------------------------------------------------------------
// TFreeNotifier

TFreeNotifier::~TFreeNotifier() {
  // Handlers may unsubscribe from this or other objects while they run.
  auto subscribers = std::move(subscribers_);
  subscribers_.clear();
  for (auto& [client, handler] : subscribers)
    if (handler) handler();
}

void TFreeNotifier::FreeNotification(const void* client, std::function<void()> handler) {
  for (auto& s : subscribers_)
    if (s.first == client) {
      s.second = std::move(handler);
      return;
    }
  subscribers_.emplace_back(client, std::move(handler));
}

void TFreeNotifier::RemoveFreeNotification(const void* client) {
  std::erase_if(subscribers_, [client](const auto& s) { return s.first == client; });
}

// ---------------------------------------------------------------------------------
// TStream

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  std::int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return end;
}

std::int64_t TStream::BytesLeft() {
  std::int64_t left = Size() - Position();
  return left > 0 ? left : 0;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
  if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError("Stream write error", LastError());
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  char buf[65536];
  std::int64_t left = count;
  while (left > 0) {
    std::int64_t n = std::min<std::int64_t>(left, sizeof buf);
    source.ReadBuffer(buf, n);
    WriteBuffer(buf, n);
    left -= n;
  }
  return count;
}

#define TW_STREAM_VALUE(Type, Name)               \
  Type TStream::Read##Name() {                    \
    Type v;                                       \
    ReadBuffer(&v, sizeof v);                     \
    return v;                                     \
  }                                               \
  void TStream::Write##Name(Type v) { WriteBuffer(&v, sizeof v); }

TW_STREAM_VALUE(std::uint8_t, Byte)
TW_STREAM_VALUE(std::int16_t, Int16)
TW_STREAM_VALUE(std::uint16_t, UInt16)
TW_STREAM_VALUE(std::int32_t, Int32)
TW_STREAM_VALUE(std::uint32_t, UInt32)
TW_STREAM_VALUE(std::int64_t, Int64)
TW_STREAM_VALUE(double, Double)
#undef TW_STREAM_VALUE

void TStream::CheckCount(std::int64_t count, std::int64_t elementSize) {
  if (count < 0 || elementSize < 0 || (elementSize > 0 && count > BytesLeft() / elementSize))
    throw EReadError("Stream read error");
}

AnsiString TStream::ReadString(std::int64_t length) {
  CheckCount(length);
  AnsiString s(static_cast<std::size_t>(length), '\0');
  ReadBuffer(s.data(), length);
  return s;
}

// ---------------------------------------------------------------------------------
// TMemoryStream

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  std::int64_t n = std::min<std::int64_t>(count, Size() - pos_);
  if (n <= 0) return 0;
  std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
  // Nothing can be written where the data would end beyond the 64-bit range.
  if (count <= 0 || count > std::numeric_limits<std::int64_t>::max() - pos_) return 0;
  if (pos_ + count > Size()) data_.resize(static_cast<std::size_t>(pos_ + count));
  std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
  pos_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : Size();
  // The position stays within 0 .. 2^63 - 1 whatever the offset.
  std::int64_t p;
  if (__builtin_add_overflow(base, offset, &p)) p = std::numeric_limits<std::int64_t>::max();
  if (p < 0) p = 0;
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  data_.resize(static_cast<std::size_t>(size < 0 ? 0 : size));
  if (pos_ > Size()) pos_ = Size();
}

void TMemoryStream::Clear() {
  data_.clear();
  pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& s) {
  s.SetPosition(0);
  std::int64_t n = s.Size();
  data_.resize(static_cast<std::size_t>(n));
  s.ReadBuffer(data_.data(), n);
  pos_ = 0;
}

void TMemoryStream::SaveToStream(TStream& s) { s.WriteBuffer(data_.data(), Size()); }

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
  TFileStream f(fileName, fmOpenRead);
  LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const AnsiString& fileName) {
  SaveFileAtomically(fileName, [&](TStream& s) { SaveToStream(s); });
}

// ---------------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const AnsiString& fileName, std::uint16_t mode) {
  if (mode == fmCreate) {
    fileName_ = NormalizeSeparators(fileName);
    fd_ = ::open(SysPath(fileName_).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      const int err = errno;
      throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err), err);
    }
    return;
  }
  fileName_ = ResolveExistingPath(fileName);
  int access = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  // Opened without waiting (a pipe would wait for a writer for ever), then refused
  // unless it is a regular file: a pipe, device or directory holds no document.
  fd_ = ::open(SysPath(fileName_).c_str(), access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) {
    const int err = errno;
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(err), err);
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EFOpenError("Cannot open file \"" + fileName + "\". " +
                          (S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "It is not a regular file."),
                      S_ISDIR(st.st_mode) ? EISDIR : 0);
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  std::int64_t total = 0;
  while (total < count) {
    ssize_t n = ::read(fd_, static_cast<char*>(buffer) + total, static_cast<std::size_t>(count - total));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
  }
  return total;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
  std::int64_t total = 0;
  while (total < count) {
    ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + total, static_cast<std::size_t>(count - total));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      lastError_ = n < 0 ? errno : ENOSPC;  // nothing written and no error: the disk took nothing more
      break;
    }
    total += n;
  }
  return total;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, offset, whence);
  return r < 0 ? -1 : r;
}

void TFileStream::SetSize(std::int64_t size) {
  if (::ftruncate(fd_, size) != 0) throw EWriteError("Stream write error");
  if (Position() > size) SetPosition(size);
}

void TFileStream::Flush() {
  if (::fsync(fd_) != 0) {
    const int err = errno;
    throw EWriteError("Cannot write file \"" + fileName_ + "\". " + std::strerror(err), err);
  }
}

// ---------------------------------------------------------------------------------
// TStringList

void TStringList::CheckIndex(int i) const {
  if (i < 0 || i >= Count()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
}

void TStringList::Changed() {
  if (updateCount_ > 0) {
    pendingChange_ = true;
    return;
  }
  if (OnChange) OnChange(const_cast<TStringList*>(this));
}

void TStringList::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && pendingChange_) {
    pendingChange_ = false;
    Changed();
  }
}

const AnsiString& TStringList::operator[](int i) const {
  CheckIndex(i);
  return items_[static_cast<std::size_t>(i)];
}

void TStringList::SetString(int i, const AnsiString& s) {
  CheckIndex(i);
  items_[static_cast<std::size_t>(i)] = s;
  Changed();
}

void* TStringList::Objects(int i) const {
  CheckIndex(i);
  return objects_[static_cast<std::size_t>(i)];
}

void TStringList::SetObject(int i, void* obj) {
  CheckIndex(i);
  objects_[static_cast<std::size_t>(i)] = obj;
  Changed();
}

int TStringList::Add(const AnsiString& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const AnsiString& s, void* obj) {
  items_.push_back(s);
  objects_.push_back(obj);
  Changed();
  return Count() - 1;
}

void TStringList::Insert(int i, const AnsiString& s) {
  if (i < 0 || i > Count()) throw EListError("List index out of bounds (" + std::to_string(i) + ")");
  items_.insert(items_.begin() + i, s);
  objects_.insert(objects_.begin() + i, nullptr);
  Changed();
}

void TStringList::Delete(int i) {
  CheckIndex(i);
  items_.erase(items_.begin() + i);
  objects_.erase(objects_.begin() + i);
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  objects_.clear();
  Changed();
}

void TStringList::Exchange(int i, int j) {
  CheckIndex(i);
  CheckIndex(j);
  std::swap(items_[static_cast<std::size_t>(i)], items_[static_cast<std::size_t>(j)]);
  std::swap(objects_[static_cast<std::size_t>(i)], objects_[static_cast<std::size_t>(j)]);
  Changed();
}

int TStringList::IndexOf(std::string_view s) const {
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(items_[static_cast<std::size_t>(i)], s)) return i;
  return -1;
}

void TStringList::Assign(const TStringList& other) {
  if (&other == this) return;
  items_ = other.items_;
  objects_ = other.objects_;
  Changed();
}

AnsiString TStringList::Text() const {
  AnsiString r;
  for (const auto& s : items_) {
    r += s;
    r += "\r\n";
  }
  return r;
}

void TStringList::SetText(std::string_view text) {
  items_.clear();
  objects_.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t e = i;
    while (e < text.size() && text[e] != '\r' && text[e] != '\n') ++e;
    items_.emplace_back(text.substr(i, e - i));
    objects_.push_back(nullptr);
    if (e < text.size() && text[e] == '\r') ++e;
    if (e < text.size() && text[e] == '\n') ++e;
    i = e;
  }
  Changed();
}

AnsiString TStringList::Names(int i) const {
  const AnsiString& s = (*this)[i];
  auto p = s.find('=');
  return p == AnsiString::npos ? AnsiString() : s.substr(0, p);
}

int TStringList::IndexOfName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    const AnsiString& s = items_[static_cast<std::size_t>(i)];
    auto p = s.find('=');
    if (p != AnsiString::npos && AnsiSameText(std::string_view(s).substr(0, p), name)) return i;
  }
  return -1;
}

AnsiString TStringList::Values(std::string_view name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  const AnsiString& s = items_[static_cast<std::size_t>(i)];
  return s.substr(s.find('=') + 1);
}

void TStringList::SetValue(std::string_view name, const AnsiString& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    SetString(i, AnsiString(name) + "=" + value);
  } else {
    Add(AnsiString(name) + "=" + value);
  }
}

void TStringList::LoadFromStream(TStream& s) {
  std::int64_t n = s.BytesLeft();
  SetText(s.ReadString(n));
}

void TStringList::SaveToStream(TStream& s) const { s.WriteString(Text()); }

void TStringList::LoadFromFile(const AnsiString& fileName) {
  TFileStream f(fileName, fmOpenRead);
  LoadFromStream(f);
}

void TStringList::SaveToFile(const AnsiString& fileName) const {
  SaveFileAtomically(fileName, [&](TStream& s) { SaveToStream(s); });
}
