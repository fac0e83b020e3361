// The file layer of the package library.
//
// The library never touches files directly: it goes through an IPkgFileSystem, which makes file
// name objects, opens files, creates temporary files and removes files, and through IPkgFSFile
// objects with read, write, seek, tell, flush and truncate on 64-bit positions.
//
// BasePkgFileSystem is the built-in implementation over the C runtime's buffered files. Its
// process-wide instance (GetInstance) is made on first use under a lock and lives until exit.
// MemPkgFileSystem (PkgMemFileSystem.h) keeps its files in memory, for tests and fuzzing.
//
// Open modes are the standard stream open-mode bits (in 1, out 2, ate 4, app 8, trunc 16,
// binary 32). OpenFile ignores ate and binary and accepts exactly:
//   1 (in)                   -> "rb"   read an existing file
//   2 (out), 18 (out|trunc)  -> "wb"   create or truncate, write
//   3 (in|out)               -> "r+b"  read and write an existing file
//   19 (in|out|trunc)        -> "w+b"  create or truncate, read and write
// any other mode is code 23 (PackageIOException).
//
// Failures: every runtime failure is code 50 with the runtime's error text; a short write is
// code 29; running out of temporary file names is code 48.
//
// Threads: file objects and file name objects belong to one thread at a time; a file system's
// temporary-name counter is not locked, so temporary files are made from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <boost/shared_ptr.hpp>

namespace pkg {

enum PkgOpenMode : int {
  kPkgModeIn = 1,
  kPkgModeOut = 2,
  kPkgModeAte = 4,
  kPkgModeApp = 8,
  kPkgModeTrunc = 16,
  kPkgModeBinary = 32,
};

enum PkgSeekOrigin : int {
  kPkgSeekBegin = 0,
  kPkgSeekCurrent = 1,
  kPkgSeekEnd = 2,
};

enum PkgFileCapability : int {
  kPkgCapRead = 1,
  kPkgCapWrite = 2,
  kPkgCapSeek = 4,
  kPkgCapTell = 8,
  kPkgCapTruncate = 16,
};

class IPkgFileSystem;

// A file's name: its path as UTF-8 text and the file system that made it. The file system must
// outlive its name objects (the built-in one lives until process exit).
class IPkgFSFileName {
 public:
  virtual ~IPkgFSFileName() = default;
  virtual IPkgFileSystem* GetFileSystem() const = 0;
  virtual std::string GetPath() const = 0;
};
using PkgFSFileNamePtr = boost::shared_ptr<IPkgFSFileName>;

// The file interface proper.
class IPkgFSFileCommon {
 public:
  // Closes the file if it is still open; a failure while closing is swallowed.
  virtual ~IPkgFSFileCommon() = default;
  virtual int GetMode() const = 0;
  // Closes the file; code 50 on failure. Closing twice does nothing.
  virtual void Close() = 0;
  // Reads up to inCount bytes and returns how many were read: fewer only at the end of the
  // file, 0 at the end. A read error is code 50.
  virtual std::size_t Read(void* outBuffer, std::size_t inCount) = 0;
  // Writes all inCount bytes, or throws: code 50 on an error, code 29 on a short write.
  virtual void Write(const void* inBuffer, std::size_t inCount) = 0;
  // Moves to inOffset relative to the start, the current position or the end (PkgSeekOrigin).
  // A position beyond the end is allowed; a negative one is code 50.
  virtual void Seek(int64_t inOffset, int inOrigin) = 0;
  virtual int64_t Tell() = 0;
  virtual void Flush() = 0;
  virtual void Truncate(int64_t inSize) = 0;
  // Bit set of PkgFileCapability.
  virtual int GetCapabilities() const = 0;
  bool IsSeekable() const { return (GetCapabilities() & kPkgCapSeek) != 0; }
};

class IPkgFSFile : public IPkgFSFileCommon {
 public:
  virtual IPkgFileSystem* GetFileSystem() const = 0;
  virtual PkgFSFileNamePtr GetFileName() const = 0;
};
using PkgFSFilePtr = boost::shared_ptr<IPkgFSFile>;

class IPkgFileSystem {
 public:
  virtual ~IPkgFileSystem() = default;
  // Opens the named file with an open mode from the table above.
  virtual PkgFSFilePtr OpenFile(const PkgFSFileNamePtr& inFileName, int inMode) = 0;
  // A new, empty temporary file open for reading and writing (mode 19). It is not deleted when
  // closed: its owner removes it with RemoveFile.
  virtual PkgFSFilePtr CreateTempFile() = 0;
  // Deletes the named file; code 50 on failure.
  virtual void RemoveFile(const PkgFSFileNamePtr& inFileName) = 0;
  // A name object for the UTF-8 path text.
  virtual PkgFSFileNamePtr MakeFileName(const std::string& inPath) = 0;
};

// The built-in file system over the C runtime's buffered files.
//
// Temporary files are named "mox%05X%04X" (process id, then the seed XOR the name counter rotated
// right by 4 bits) in the temporary folder ($TMPDIR, else /tmp), and created exclusively with
// owner-only permissions; a name that exists already is skipped, up to 65,536 names.
class BasePkgFileSystem : public IPkgFileSystem {
 public:
  // The process-wide instance, made on first use under a lock.
  static BasePkgFileSystem* GetInstance();

  // A file system with an explicit temporary folder (a '/' is appended when missing; empty
  // means no temporary files can be made), process id and clock value for the name seed.
  BasePkgFileSystem(std::string inTempFolder, uint32_t inProcessId, uint32_t inClock);

  PkgFSFilePtr OpenFile(const PkgFSFileNamePtr& inFileName, int inMode) override;
  PkgFSFilePtr CreateTempFile() override;
  void RemoveFile(const PkgFSFileNamePtr& inFileName) override;
  PkgFSFileNamePtr MakeFileName(const std::string& inPath) override;

  // The next temporary file name (advances the counter); empty when there is no temporary folder.
  std::string NextTempFileName();

 private:
  uint32_t m_processId;
  uint16_t m_counter;
  uint16_t m_seed;
  std::string m_tempFolder;
};

}  // namespace pkg
