// tzpack [--mimetype TYPE] [--store] DIR OUT.zip: writes the folder DIR as the zip package
// OUT.zip with the package library. Entry names are the paths below DIR, '/' separated, in
// sorted order; folders get directory entries. With --mimetype the stored "mimetype" entry
// comes first; --store stores every file instead of deflating it. Symbolic links are followed;
// other special files are skipped with a warning.
// Exit status: 0 success, 1 failure (nothing is left at OUT.zip), 2 wrong command line.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pkg/Package.h"
#include "pkg/PkgException.h"
#include "pkg/zip/ZipPackageFactory.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBlock = 1 << 20;

int Usage() {
  std::fprintf(stderr, "usage: tzpack [--mimetype TYPE] [--store] DIR OUT.zip\n");
  return 2;
}

// The entry name of inPath below inRoot, '/' separated.
std::string EntryName(const fs::path& inRoot, const fs::path& inPath) {
  return inPath.lexically_relative(inRoot).generic_string();
}

void AddFile(const pkg::PackagePtr& inPackage, const fs::path& inPath, const std::string& inName, bool inStore,
             std::vector<char>& ioBlock) {
  std::ifstream in(inPath, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot read " + inPath.string());
  }
  pkg::PkgFilePtr file = inPackage->GetEntry(inName, false);
  if (inStore) {
    file->SetCompression(pkg::kPkgCompressionStored);
  }
  pkg::PkgStreamPtr stream = file->OpenStream(pkg::kPkgModeOut, false);
  while (in) {
    in.read(ioBlock.data(), static_cast<std::streamsize>(ioBlock.size()));
    const std::streamsize got = in.gcount();
    if (got > 0) {
      stream->write(ioBlock.data(), got);
    }
  }
  if (in.bad()) {
    throw std::runtime_error("error reading " + inPath.string());
  }
  stream->Close();
}

void Pack(const fs::path& inRoot, const fs::path& inOut, const std::string& inMimeType, bool inStore) {
  std::vector<fs::path> paths;
  for (auto it = fs::recursive_directory_iterator(inRoot, fs::directory_options::follow_directory_symlink);
       it != fs::recursive_directory_iterator(); ++it) {
    paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());

  pkg::PackagePtr package = pkg::zip::ZipPackageFactory::GetInstance()->CreatePackage(
      inOut.string(), inMimeType, true, nullptr, pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  std::vector<char> block(kReadBlock);
  const fs::path outPath = fs::weakly_canonical(inOut);
  for (const fs::path& path : paths) {
    const std::string name = EntryName(inRoot, path);
    if (path.filename() == outPath.filename() && fs::weakly_canonical(path) == outPath) {
      continue;  // the package being written, when it lies inside the folder
    }
    if (!inMimeType.empty() && name == "mimetype") {
      continue;  // the mime type given on the command line is the package's
    }
    if (fs::is_directory(path)) {
      package->GetDirectory(name, false)->Create();
    } else if (fs::is_regular_file(path)) {
      AddFile(package, path, name, inStore, block);
    } else {
      std::fprintf(stderr, "tzpack: skipping %s (not a regular file)\n", path.c_str());
    }
  }
  package->CommitUpdate();
  package->Close();
}

}  // namespace

int main(int argc, char** argv) {
  std::string mimeType;
  bool store = false;
  std::vector<std::string> operands;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--mimetype" && i + 1 < argc) {
      mimeType = argv[++i];
      if (mimeType.empty()) {
        return Usage();
      }
    } else if (arg == "--store") {
      store = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else {
      operands.push_back(arg);
    }
  }
  if (operands.size() != 2) {
    return Usage();
  }
  const fs::path root(operands[0]);
  const fs::path out(operands[1]);
  std::error_code error;
  if (!fs::is_directory(root, error)) {
    std::fprintf(stderr, "tzpack: %s is not a folder\n", root.c_str());
    return 1;
  }
  try {
    Pack(root, out, mimeType, store);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "tzpack: %s\n", failure.what());
    fs::remove(out, error);
    return 1;
  }
  return 0;
}
