// The class library's base classes as the Parts use them: the object roots, events,
// streams with little-endian access, and string lists.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/SysUtils.h"

class TObject {
 public:
  virtual ~TObject() = default;
};

// An object that can copy another of its kind.
class TPersistent : public TObject {
 public:
  // The class library raises for a source it does not know how to copy.
  virtual void Assign(const TPersistent* source);
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// An object that tells its subscribers when it is destroyed (the class library's free
// notification between linked components). A subscriber that goes first unsubscribes.
class TFreeNotifier {
 public:
  TFreeNotifier() = default;
  TFreeNotifier(const TFreeNotifier&) = delete;
  TFreeNotifier& operator=(const TFreeNotifier&) = delete;
  // Runs every subscriber's handler once.
  virtual ~TFreeNotifier();
  // handler runs when this object is destroyed; one subscription per client (a second
  // one replaces the first).
  void FreeNotification(const void* client, std::function<void()> handler);
  void RemoveFreeNotification(const void* client);

 private:
  std::vector<std::pair<const void*, std::function<void()>>> subscribers_;
};

// ---------------------------------------------------------------------------------
// Streams

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  // Reads up to count bytes; returns how many were read.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
  // The system's error number of the last write that fell short (0: none known).
  virtual int LastError() const { return 0; }
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(std::int64_t size) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
  virtual std::int64_t Size();
  std::int64_t BytesLeft();

  // Exactly count bytes or EReadError "Stream read error" / EWriteError.
  void ReadBuffer(void* buffer, std::int64_t count);
  void WriteBuffer(const void* buffer, std::int64_t count);
  std::int64_t CopyFrom(TStream& source, std::int64_t count);  // count 0: the whole source

  // Little-endian values.
  std::uint8_t ReadByte();
  std::int16_t ReadInt16();
  std::uint16_t ReadUInt16();
  std::int32_t ReadInt32();
  std::uint32_t ReadUInt32();
  std::int64_t ReadInt64();
  double ReadDouble();
  void WriteByte(std::uint8_t v);
  void WriteInt16(std::int16_t v);
  void WriteUInt16(std::uint16_t v);
  void WriteInt32(std::int32_t v);
  void WriteUInt32(std::uint32_t v);
  void WriteInt64(std::int64_t v);
  void WriteDouble(double v);

  // A length or count read from the stream: raises EReadError unless 0 <= count and
  // count * elementSize bytes are left, so that no damaged stream makes us allocate
  // or loop over more than it holds.
  void CheckCount(std::int64_t count, std::int64_t elementSize = 1);
  // length bytes as a string, checked against the bytes left.
  AnsiString ReadString(std::int64_t length);
  void WriteString(std::string_view s) { WriteBuffer(s.data(), static_cast<std::int64_t>(s.size())); }
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string_view bytes) : data_(bytes.begin(), bytes.end()) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

  void Clear();
  const char* Memory() const { return data_.data(); }
  std::string Bytes() const { return std::string(data_.begin(), data_.end()); }
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s);
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName);

 private:
  std::vector<char> data_;
  std::int64_t pos_ = 0;
};

// File open modes of the class library. Share flags are accepted and ignored here:
// sharing and byte-range locking belong to the table engine's disk files.
enum : std::uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

class TFileStream : public TStream {
 public:
  // fmCreate creates or truncates; the other modes open an existing file, found
  // case-insensitively when its exact name is missing. EFCreateError / EFOpenError.
  TFileStream(const AnsiString& fileName, std::uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  int LastError() const override { return lastError_; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  // Writes the file's data through to the disk; EWriteError when that fails.
  void Flush();
  int Handle() const { return fd_; }
  const AnsiString& FileName() const { return fileName_; }

 private:
  int fd_ = -1;
  int lastError_ = 0;
  AnsiString fileName_;
};

// ---------------------------------------------------------------------------------
// String lists

class TStringList : public TObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const AnsiString& operator[](int i) const;
  const AnsiString& Strings(int i) const { return (*this)[i]; }
  void SetString(int i, const AnsiString& s);
  void* Objects(int i) const;
  void SetObject(int i, void* obj);

  int Add(const AnsiString& s);
  int AddObject(const AnsiString& s, void* obj);
  void Insert(int i, const AnsiString& s);
  void Delete(int i);
  void Clear();
  int IndexOf(std::string_view s) const;  // caseless (1251), as the class library's default
  void Assign(const TStringList& other);
  void Exchange(int i, int j);

  // Lines joined with CR LF, each line ended; reading accepts CR LF, LF or CR.
  AnsiString Text() const;
  void SetText(std::string_view text);
  // "Name=Value" lines.
  AnsiString Names(int i) const;
  AnsiString Values(std::string_view name) const;
  void SetValue(std::string_view name, const AnsiString& value);
  int IndexOfName(std::string_view name) const;

  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;
  void LoadFromFile(const AnsiString& fileName);
  void SaveToFile(const AnsiString& fileName) const;

  // Change notification: once per change, or once at the end of an update bracket.
  TNotifyEvent OnChange;
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  const std::vector<AnsiString>& Lines() const { return items_; }

 private:
  void CheckIndex(int i) const;
  void Changed();

  std::vector<AnsiString> items_;
  std::vector<void*> objects_;
  int updateCount_ = 0;
  bool pendingChange_ = false;
};
