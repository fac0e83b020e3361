// Opens an in-memory archive and reads every entry: by plain block reads, and, for every
// other file entry, after a seek to the end (which inflates a deflated entry into an in-memory
// temporary file). Library errors are expected; crashes, hangs and sanitizer reports are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pkg/PkgException.h"
#include "pkg/PkgMemFileSystem.h"
#include "pkg/zip/ZipPackageFactory.h"

namespace {

void ReadEntry(pkg::IPkgFile& inFile, bool inSeekFirst) {
  pkg::PkgStreamPtr stream = inFile.OpenStream(pkg::kPkgModeIn, false);
  if (inSeekFirst) {
    stream->seekg(0, std::ios::end);
    stream->tellg();
    stream->seekg(0, std::ios::beg);
  }
  std::vector<char> block(64 * 1024);
  while (*stream) {
    stream->read(block.data(), static_cast<std::streamsize>(block.size()));
  }
  stream->Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
  pkg::MemPkgFileSystem memory;
  memory.AddFile("fuzz.zip", std::vector<uint8_t>(inData, inData + inSize));
  try {
    pkg::PackagePtr package = pkg::zip::ZipPackageFactory::GetInstance()->OpenPackageOnFile(
        memory.OpenFile(memory.MakeFileName("fuzz.zip"), pkg::kPkgModeIn), pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
    bool seek = false;
    for (const pkg::PkgEntryPtr& entry : package->GetEntries(pkg::PkgDirectoryPtr(), "")) {
      entry->GetName();
      if (entry->GetType() != pkg::kPkgEntryFile) {
        continue;
      }
      try {
        ReadEntry(*entry->AsFile(), seek);
      } catch (const pkg::PackageException&) {
        // A broken entry leaves the package usable for the others.
      }
      seek = !seek;
    }
    package->Close();
  } catch (const pkg::PackageException&) {
  }
  return 0;
}
