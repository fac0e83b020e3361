// Helpers of the writer tests: running the other zip tools on a package and reading a package
// back with our reader.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "PkgTestUtil.h"
#include "pkg/Package.h"
#include "pkg/zip/ZipPackageFactory.h"

namespace writetest {

// Runs a shell command with its output in inLog; returns the exit status (-1 if it did not run).
inline int Run(const std::string& inCommand, const std::filesystem::path& inLog) {
  const int status = std::system((inCommand + " >" + inLog.string() + " 2>&1").c_str());
  if (status == -1 || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

inline std::string ReadText(const std::filesystem::path& inPath) {
  const auto bytes = pkgtest::ReadFileBytes(inPath);
  return std::string(bytes.begin(), bytes.end());
}

inline std::string Quote(const std::filesystem::path& inPath) { return "'" + inPath.string() + "'"; }

// Python's zipfile: testzip must find no bad entry, and every local header must agree with its
// central header (name, method, date and time, and, without a data descriptor, CRC-32 and sizes,
// from the ZIP64 block when the 32-bit fields say so). Writes the names, one a line, to inNames.
inline int PythonTestZip(const std::filesystem::path& inZip, const std::filesystem::path& inNames,
                         const std::filesystem::path& inLog) {
  const std::string script =
      "import struct, sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "bad = z.testzip()\n"
      "raw = open(sys.argv[1], 'rb')\n"
      "for info in z.infolist():\n"
      "    raw.seek(info.header_offset)\n"
      "    (sig, ver, flags, method, t, d, crc, csize, usize, nlen, xlen) = struct.unpack('<IHHHHHIIIHH', raw.read(30))\n"
      "    name = raw.read(nlen)\n"
      "    extra = raw.read(xlen)\n"
      "    if usize == 0xFFFFFFFF or csize == 0xFFFFFFFF:\n"
      "        at = 0\n"
      "        while at + 4 <= len(extra):\n"
      "            (bid, size) = struct.unpack('<HH', extra[at:at + 4])\n"
      "            if bid == 1:\n"
      "                (usize, csize) = struct.unpack('<QQ', extra[at + 4:at + 20])\n"
      "            at += 4 + size\n"
      "    stamp = ((d >> 9) + 1980, (d >> 5) & 15, d & 31, t >> 11, (t >> 5) & 63, (t & 31) * 2)\n"
      "    local = (name.decode('utf-8'), method, stamp)\n"
      "    wanted = (info.filename, info.compress_type, info.date_time)\n"
      "    if flags & 8 == 0:\n"
      "        local += (crc, csize, usize)\n"
      "        wanted += (info.CRC, info.compress_size, info.file_size)\n"
      "    if sig != 0x04034B50 or local != wanted:\n"
      "        print('local header of', info.filename, local, 'central', wanted)\n"
      "        bad = info.filename\n"
      "open(sys.argv[2], 'w').write(''.join(n + chr(10) for n in z.namelist()))\n"
      "sys.exit(0 if bad is None else 3)\n";
  const std::filesystem::path scriptPath = inNames.string() + ".py";
  {
    std::ofstream out(scriptPath);
    out << script;
  }
  return Run(std::string(TZ_PYTHON) + " " + Quote(scriptPath) + " " + Quote(inZip) + " " + Quote(inNames), inLog);
}

// Every entry of the package as our reader sees it: name -> data (empty for directories).
inline std::map<std::string, std::string> ReadBack(const std::string& inPath) {
  auto package = pkg::zip::ZipPackageFactory::GetInstance()->OpenPackage(inPath, pkg::kPkgModeIn, nullptr,
                                                                         pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  std::map<std::string, std::string> entries;
  for (const pkg::PkgEntryPtr& entry : package->GetEntries(pkg::PkgDirectoryPtr(), "")) {
    std::string data;
    if (entry->GetType() == pkg::kPkgEntryFile) {
      auto stream = entry->AsFile()->OpenStream(pkg::kPkgModeIn, false);
      data = pkgtest::ReadAll(*stream);
      stream->Close();
    }
    entries[entry->GetName()] = data;
  }
  package->Close();
  return entries;
}

inline void WriteEntry(const pkg::PackagePtr& inPackage, const std::string& inPath, const std::string& inData,
                       int inCompression = pkg::kPkgCompressionDefault) {
  auto file = inPackage->GetEntry(inPath, false);
  if (inCompression != pkg::kPkgCompressionDefault) {
    file->SetCompression(inCompression);
  }
  auto stream = file->OpenStream(pkg::kPkgModeOut, false);
  stream->write(inData.data(), static_cast<std::streamsize>(inData.size()));
  stream->Close();
}

}  // namespace writetest
