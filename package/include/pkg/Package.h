// The package object model: a package of named entries (files and directories) read from a
// zip file, the entries themselves, the streams on their data and an iterator over them.
//
// Ownership: packages, entries and streams are handed out as boost::shared_ptr. Entries also
// carry their own reference count (AddRef/Release); the shared pointers that the library hands
// out hold one reference each and release it when they die, and the package's entry map holds
// one more until the package is destroyed. An entry, and any stream on it, must not be used
// after its package has been closed or destroyed (Close closes every open stream).
//
// Names: an entry's name is its stored name, raw bytes, '/' separated, a directory's name ending
// in '/'. Lookups take package paths, which are normalised first: "/a/./b" and "a//b" find the
// stored "a/b"; ".." removes the segment before it; '#' ends the normalisation; "/" is the root.
//
// Failures are PackageException / PackageIOException (PkgException.h). Every operation that
// needs an open package throws code 24 when the package is not open. The writing operations
// (updates, new entries, write streams) are described in WRITING below.
//
// WRITING. Changes happen inside an update: BeginUpdate (the package file is rewritten at commit,
// through a temporary file when it holds entries), BeginUpdateInPlace (kept entries stay where
// they are; new data and a new central directory are appended after them), BeginUpdateTo (the
// package is written to another file, which the package then uses). Inside an update:
// GetEntry(path, false) makes new file entries, OpenStream(out) writes an entry's data (staged,
// compressed, in a temporary file until the commit; one write stream at a time per package),
// GetDirectory(path, false)->Create() adds a directory entry, Remove() drops an entry.
// CommitUpdate writes the package: a "mimetype" file first (except in place), then the kept
// entries in stored order, then the new ones in creation order, then the central directory;
// CancelUpdate forgets every change, properties included. Writing outside an update is code 37,
// except SetMimeType, which then runs as an update of its own. A package created with mode 18 is
// empty until its first commit.
//
// Threads: a package, its entries and its streams belong to one thread at a time.
#pragma once

#include <cstdint>
#include <istream>
#include <iterator>
#include <string>

#include <boost/shared_ptr.hpp>

#include "pkg/PkgFileSystem.h"

namespace pkg {

class IPackage;
class IPkgEntry;
class IPkgFile;
class IPkgDirectory;
class IPkgStream;
class IXMLParser;  // parser of the properties document, supplied by the client

using PackagePtr = boost::shared_ptr<IPackage>;
using PkgEntryPtr = boost::shared_ptr<IPkgEntry>;
using PkgFilePtr = boost::shared_ptr<IPkgFile>;
using PkgDirectoryPtr = boost::shared_ptr<IPkgDirectory>;
using PkgStreamPtr = boost::shared_ptr<IPkgStream>;
using XMLParserPtr = boost::shared_ptr<IXMLParser>;

enum PkgEntryType : int {
  kPkgEntryNone = 0,
  kPkgEntryFile = 1,
  kPkgEntryDirectory = 2,
};

enum PkgCompression : int {
  kPkgCompressionDefault = -1,  // as the package's default: deflate
  kPkgCompressionStored = 0,
  kPkgCompressionDeflate = 8,
};

// Options of a package, by integer key. Option 100 is a bit set for the mimetype convention:
// 2 strict (opening fails on a missing or invalid "mimetype" entry), 1 repair (the writer then
// refuses, with code 45, what would break the convention). Option 0, when not 0, makes the writer
// follow every file entry's data with a data descriptor (flag bit 3), as it always does for a
// target that cannot seek.
class IPkgOptions {
 public:
  static constexpr int kOptionDataDescriptor = 0;
  static constexpr int kOptionMimetype = 100;
  static constexpr int kMimetypeRepair = 1;
  static constexpr int kMimetypeStrict = 2;
  virtual ~IPkgOptions() = default;
  // The option's value, 0 when it is not set.
  virtual int GetOption(int inKey) const = 0;
};
using PkgOptionsPtr = boost::shared_ptr<IPkgOptions>;

class IPkgEntry {
 public:
  // Writer: marks the entry removed in the update in progress (code 37 outside one; code 23 for
  // the root or a file with an open write stream). A directory's files are not removed with it.
  virtual void Remove() = 0;
  virtual bool IsRemoved() const = 0;
  // 0 (stored) or 8 (deflate); anything else is code 22.
  virtual void SetCompression(int inMethod) = 0;
  // 0 or 8; an entry read from an archive is 0 when stored, 8 for every other stored method.
  virtual int GetCompression() const = 0;
  virtual std::string GetName() const = 0;
  virtual IPackage* GetPackage() const = 0;
  virtual void AddRef() = 0;
  // Drops a reference; the last one destroys the entry.
  virtual void Release() = 0;
  virtual int GetType() const = 0;
  // This entry as a file (code 23 for a directory) or as a directory (code 23 for a file).
  virtual PkgFilePtr AsFile() = 0;
  virtual PkgDirectoryPtr AsDirectory() = 0;

 protected:
  virtual ~IPkgEntry() = default;
};

class IPkgFile : public virtual IPkgEntry {
 public:
  // A new stream on the entry's data. Mode 1 reads (raw: the stored bytes without
  // decompression); a mode with neither in nor out is code 22, with both code 19; writing is
  // mode 2 writes in the update in progress (see WRITING). Code 26 when the package was not opened for reading, code 21 when
  // the entry has no data in the package.
  virtual PkgStreamPtr OpenStream(int inMode, bool inRaw) = 0;
  // Sizes from the central directory; the 32-bit forms give 0xFFFFFFFF when they do not fit.
  virtual uint32_t GetSize() const = 0;
  virtual uint32_t GetCompressedSize() const = 0;
  virtual uint64_t GetSize64() const = 0;
  virtual uint64_t GetCompressedSize64() const = 0;
  // Writer: the size and CRC-32 that a raw write stream's data stand for (code 37 outside an update).
  virtual void SetSize64(uint64_t inSize) = 0;
  virtual uint32_t GetCRC() const = 0;
  virtual void SetCRC(uint32_t inCRC) = 0;
  // A package path relative to this file's directory, normalised, with a leading '/'. For the
  // file "a/b/c.txt": "d.txt" -> "/a/b/d.txt", "../d.txt" -> "/a/d.txt", "#x" -> "/a/b/c.txt#x";
  // paths with a scheme ("x:...") or starting with "//" come back unchanged.
  virtual std::string ResolvePath(const std::string& inRelativePath) const = 0;
  // Keys 0 to 2 are record keys, larger keys document keys (see IPackage::GetPackageProperty).
  virtual std::string GetProperty(int inKey) const = 0;
  virtual void SetProperty(int inKey, const std::string& inValue) = 0;
};

class IPkgDirectory : public virtual IPkgEntry {
 public:
  // Writer: creates the directory entry in the update in progress; code 25 when it exists.
  virtual void Create() = 0;
};

// A standard input/output stream on an entry's data. Errors of the library pass through the
// stream operations to the caller as exceptions (the badbit is in the exception mask); end of
// data sets eofbit and failbit as usual. Seeking a deflated entry first inflates it whole into
// a temporary file of the package's file system (freed when the package is closed).
class IPkgStream : public std::iostream {
 public:
  IPkgStream() : std::iostream(nullptr) {}
  // Ends decoding and detaches the stream from its entry; the stream is then bad. Code 30 when
  // the decompressor cannot be ended. A second Close does nothing.
  virtual void Close() = 0;
  // The entry the stream belongs to (null after Close).
  virtual IPkgFile* GetFile() const = 0;
};

// The implementation behind PkgEntryIterator.
class IPkgEntryIteratorImpl {
 public:
  virtual ~IPkgEntryIteratorImpl() = default;
  virtual bool AtEnd() const = 0;
  virtual PkgEntryPtr Current() const = 0;
  virtual void Next() = 0;
};

// An input iterator over a package's entries; a default-made iterator is the end.
class PkgEntryIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = PkgEntryPtr;
  using difference_type = std::ptrdiff_t;
  using pointer = const PkgEntryPtr*;
  using reference = PkgEntryPtr;

  PkgEntryIterator() = default;
  explicit PkgEntryIterator(boost::shared_ptr<IPkgEntryIteratorImpl> inImpl) : m_impl(std::move(inImpl)) {}

  PkgEntryPtr operator*() const { return m_impl->Current(); }
  PkgEntryIterator& operator++() {
    m_impl->Next();
    return *this;
  }
  bool operator==(const PkgEntryIterator& inOther) const { return AtEnd() == inOther.AtEnd(); }
  bool operator!=(const PkgEntryIterator& inOther) const { return !(*this == inOther); }

 private:
  bool AtEnd() const { return !m_impl || m_impl->AtEnd(); }
  boost::shared_ptr<IPkgEntryIteratorImpl> m_impl;
};

struct PkgEntryRange {
  PkgEntryIterator first;
  PkgEntryIterator last;
  PkgEntryIterator begin() const { return first; }
  PkgEntryIterator end() const { return last; }
};

class IPackage {
 public:
  virtual ~IPackage() = default;
  // The mode as opened when true, else the mode of the update in progress.
  virtual int GetOpenMode(bool inAsOpened) const = 0;
  // For new file entries: 0, 8 or -1 (deflate); anything else is code 22.
  virtual void SetDefaultCompression(int inMethod) = 0;
  virtual int GetDefaultCompression() const = 0;
  virtual bool IsModified() const = 0;
  // Writer: updates (see WRITING). Code 36 without out in the mode, code 35 during an update.
  virtual void BeginUpdateTo(const PkgFSFileNamePtr& inFileName, int inMode) = 0;
  virtual void BeginUpdateTo(const std::string& inPath, int inMode) = 0;
  virtual void BeginUpdate() = 0;
  virtual void BeginUpdateInPlace() = 0;
  // Code 37: no update is in progress.
  virtual void CommitUpdate() = 0;
  virtual void CancelUpdate() = 0;
  virtual void SaveAs(const PkgFSFileNamePtr& inFileName, int inMode) = 0;
  virtual void SaveAs(const std::string& inPath, int inMode) = 0;
  // Closes every open stream, frees the entries' temporary files and closes the package file.
  // An update in progress is not committed. Closing a closed package does nothing.
  virtual void Close() = 0;
  virtual void DoClose() = 0;
  // 0 none, 1 file, 2 directory. The relative forms join the path to the directory first.
  virtual int GetEntryType(const std::string& inRelativePath, const PkgDirectoryPtr& inBase) = 0;
  virtual int GetEntryType(const std::string& inPath) = 0;
  // The file entry for the path. Code 22 for an empty path or one ending in '/', code 23 when
  // the name is a directory, code 21 when it does not exist and inMustExist is set (otherwise a
  // new, empty entry).
  virtual PkgFilePtr GetEntry(const std::string& inRelativePath, const PkgDirectoryPtr& inBase, bool inMustExist) = 0;
  virtual PkgFilePtr GetEntry(const std::string& inPath, bool inMustExist) = 0;
  // As GetEntry for directories; a path without a trailing '/' gets one.
  virtual PkgDirectoryPtr GetDirectory(const std::string& inRelativePath, const PkgDirectoryPtr& inBase,
                                       bool inMustExist) = 0;
  virtual PkgDirectoryPtr GetDirectory(const std::string& inPath, bool inMustExist) = 0;
  virtual PkgDirectoryPtr GetRootDirectory() = 0;
  virtual std::string GetFileName() const = 0;
  virtual PkgFSFilePtr GetFile() const = 0;
  // Writes the text as the stored file "mimetype" (as an update of its own outside one).
  virtual void SetMimeType(const std::string& inMimeType) = 0;
  // The first whitespace-delimited word of the "mimetype" file entry, empty without one.
  virtual std::string GetMimeType() = 0;
  // Key 1000 is the archive comment; other keys are code 23 without an XML parser, else 22.
  virtual std::string GetPackageProperty(int inKey) const = 0;
  // Key 1000 sets the comment (code 22 above 65,534 bytes); other keys as GetPackageProperty,
  // or code 28 outside an update.
  virtual void SetPackageProperty(int inKey, const std::string& inValue) = 0;
  virtual PkgOptionsPtr GetOptions() const = 0;
  // What the mimetype check found on open: 0, 46 (invalid "mimetype") or 47 (missing).
  virtual int GetConformanceError() const = 0;
  // The options object's value for the key; 0 without an options object.
  virtual int GetOption(int inKey) const = 0;
  // The entries in stored order, each once; with a directory, its direct children only
  // (subdirectories yielded once each, even without an entry of their own). A non-empty
  // pattern is code 19.
  virtual PkgEntryRange GetEntries(const PkgDirectoryPtr& inDirectory, const std::string& inPattern) = 0;
};

}  // namespace pkg
