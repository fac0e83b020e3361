#include "ziputils/TZInternalZipUtils.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <optional>
#include <stdexcept>

#include <zlib.h>

#include "pkg/PkgException.h"
#include "pkg/zip/ZipPackageFactory.h"
#include "platform/FileXferBytes.h"
#include "platform/TZAssert.h"
#include "platform/TZFile.h"
#include "platform/TZPath.h"
#include "platform/TZStreamUtil.h"
#include "platform/TZString.h"

namespace {

// Files are copied in blocks of this size, so memory stays bounded whatever an entry's size.
constexpr std::size_t kCopyBlock = 1024 * 1024;

// The destination of the running Unzip.
TZString gDestinationFolder;
// The folder (as entry name components) that the last extracted file went into. Archives list a
// folder's files together, so its parents are made, and checked, once rather than per file.
std::optional<std::vector<std::string>> gLastFileFolder;

// A failure of the extraction itself (as opposed to the package library's).
class TZUnzipError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

TZPath TargetPath(const std::vector<std::string>& inComponents) {
  TZPath target(gDestinationFolder);
  for (const auto& component : inComponents) {
    target.Append(tarsel::orn::APathComponent(TZString(component.c_str()).ToAString()));
  }
  return target;
}

uint32_t UpdateCRC(uint32_t inCRC, const char* inBytes, std::size_t inCount) {
  uLong crc = inCRC;
  while (inCount > 0) {
    const uInt step = inCount > (1u << 30) ? (1u << 30) : static_cast<uInt>(inCount);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(inBytes), step);
    inBytes += step;
    inCount -= step;
  }
  return static_cast<uint32_t>(crc);
}

void WriteBlock(ITZStream& inWriter, const char* inBytes, std::size_t inCount) {
  if (inCount != 0 && inWriter.XferBytes(const_cast<char*>(inBytes), inCount) != inCount) {
    throw TZUnzipError("short write");
  }
}

void ExtractDirectory(const std::vector<std::string>& inComponents) {
  TZFile folder(TargetPath(inComponents));
  int error = 0;
  if (!folder.MakeDirectory(true, &error) && !folder.GetAttribute(tarsel::orn::AFile::kIsDirectory)) {
    throw TZUnzipError("cannot create the folder");
  }
}

// Copies the entry's data into the target in one pass. The stream is read from start to end
// without moving, so a deflated entry is inflated straight into the target rather than first
// into a temporary file: the package needs no second copy's room in the temporary folder, and
// every byte is written once. The central directory's size bounds the read (the library stops a
// deflated entry that inflates past it), and the bytes written are checked against its size and
// CRC-32 afterwards.
void ExtractFile(pkg::IPkgFile& inFile, const std::vector<std::string>& inComponents) {
  pkg::PkgStreamPtr stream = inFile.OpenStream(pkg::kPkgModeIn, false);
  const std::vector<std::string> folder(inComponents.begin(), inComponents.end() - 1);
  if (gLastFileFolder != folder) {
    gLastFileFolder.reset();
    ExtractDirectory(folder);
    gLastFileFolder = folder;
  }
  // The write stream creates the file, or truncates an existing one. Making the file first and
  // truncating it on open would cost more than a system call: ext4 starts writing out the data
  // of a file truncated to nothing when it is closed.
  TZFile target(TargetPath(inComponents));
  std::unique_ptr<ITZStream> writer =
      TZStreamUtil::NewWriteStream(target, FileXferBytes::kOpenWrite | FileXferBytes::kOpenCreate);
  if (!writer) {
    TZReportAssert("", "..\\..\\..\\source\\components\\ziputils\\TZInternalZipUtils", 819);
    throw TZUnzipError("cannot open the target file");
  }

  const uint64_t size = inFile.GetSize64();
  const std::size_t blockSize = static_cast<std::size_t>(std::max<uint64_t>(1, std::min<uint64_t>(size, kCopyBlock)));
  std::unique_ptr<char[]> block(new char[blockSize]);
  uint64_t written = 0;
  uint32_t crc = 0;
  for (;;) {
    stream->read(block.get(), static_cast<std::streamsize>(blockSize));
    const std::size_t got = static_cast<std::size_t>(stream->gcount());
    if (got == 0) {
      break;
    }
    written += got;
    if (written > size) {
      throw TZUnzipError("entry longer than its size");
    }
    WriteBlock(*writer, block.get(), got);
    crc = UpdateCRC(crc, block.get(), got);
  }
  stream->Close();
  if (!writer->Flush()) {
    throw TZUnzipError("flush failed");
  }
  writer.reset();
  if (written != size || crc != inFile.GetCRC()) {
    throw TZUnzipError("size or CRC-32 differs from the central directory");
  }
}

}  // namespace

bool TZInternalZipUtils::SplitEntryName(const std::string& inName, std::vector<std::string>& outComponents) {
  outComponents.clear();
  if (inName.find('\0') != std::string::npos) {
    return false;
  }
  if (!inName.empty() && (inName[0] == '/' || inName[0] == '\\')) {
    return false;
  }
  if (inName.size() >= 2 && std::isalpha(static_cast<unsigned char>(inName[0])) && inName[1] == ':') {
    return false;
  }
  std::size_t start = 0;
  while (start <= inName.size()) {
    const std::size_t end = inName.find_first_of("/\\", start);
    const std::string component = inName.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (component == "..") {
      return false;
    }
    if (!component.empty() && component != ".") {
      outComponents.push_back(component);
    }
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return true;
}

void TZInternalZipUtils::ExtractEntry(const pkg::PkgEntryPtr& inEntry) {
  const std::string name = inEntry->GetName();
  if (name.empty()) {
    return;
  }
  std::vector<std::string> components;
  if (!SplitEntryName(name, components)) {
    throw TZUnzipError("entry name leaves the destination: " + name);
  }
  if (inEntry->GetType() == pkg::kPkgEntryFile) {
    if (components.empty()) {
      throw TZUnzipError("file entry without a name: " + name);
    }
    ExtractFile(*inEntry->AsFile(), components);
  } else if (inEntry->GetType() == pkg::kPkgEntryDirectory) {
    ExtractDirectory(components);
  }
}

int TZInternalZipUtils::Unzip(const TZPath& inZipPath, const TZPath& inDestinationFolder) {
  try {
    pkg::zip::ZipPackageFactory* factory = pkg::zip::ZipPackageFactory::GetInstance();
    pkg::PackagePtr package = factory->OpenPackage(inZipPath.ToString().ToUTF8(), pkg::kPkgModeIn, nullptr,
                                                   pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
    gDestinationFolder = inDestinationFolder.ToString();
    gLastFileFolder.reset();
    for (const pkg::PkgEntryPtr& entry : package->GetEntries(pkg::PkgDirectoryPtr(), "")) {
      ExtractEntry(entry);
    }
    package->Close();
    return 0;
  } catch (...) {
    // Dropping the package closes it and deletes its temporary files.
    return 1;
  }
}
