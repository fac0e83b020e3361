#include "zip/ZipPkgWriteStream.h"

#include <algorithm>
#include <cstring>

#include "pkg/PkgException.h"
#include "zip/ZipPackage.h"

namespace pkg {
namespace zip {

namespace {
constexpr int kDeflateLevel = 6;
constexpr int kDeflateWindowBits = -15;
constexpr int kDeflateMemLevel = 9;
// Large writes are taken in pieces of this size, so that the CRC-32 and the compressor read
// each piece while it is still in the processor's cache.
constexpr std::size_t kMaxChunk = 65536;
}  // namespace

// ---- ZpWriteState

ZpWriteState::ZpWriteState() { std::memset(&m_zstream, 0, sizeof(m_zstream)); }

ZpWriteState::~ZpWriteState() {
  if (m_initialised) {
    deflateEnd(&m_zstream);
  }
}

z_stream& ZpWriteState::StartDeflate() {
  if (m_initialised) {
    if (deflateReset(&m_zstream) == Z_OK) {
      return m_zstream;
    }
    deflateEnd(&m_zstream);
    m_initialised = false;
  }
  std::memset(&m_zstream, 0, sizeof(m_zstream));
  if (deflateInit2(&m_zstream, kDeflateLevel, Z_DEFLATED, kDeflateWindowBits, kDeflateMemLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw PackageException(kPkgErrCompress);
  }
  m_initialised = true;
  return m_zstream;
}

// ---- ZipPkgWriteStreamBuf

ZipPkgWriteStreamBuf::ZipPkgWriteStreamBuf(PkgFSFilePtr inTarget, uint64_t inOffset,
                                           const std::vector<uint8_t>& inPrefix, int inMethod, bool inRaw,
                                           std::unique_ptr<ZpWriteState> inState)
    : m_target(std::move(inTarget)), m_offset(inOffset), m_method(inMethod), m_raw(inRaw), m_state(std::move(inState)) {
  if (m_method != kPkgCompressionStored && !m_raw) {
    m_zstream = &m_state->StartDeflate();
    m_deflating = true;
  }
  m_crc = static_cast<uint32_t>(crc32(0L, Z_NULL, 0));
  setp(m_state->m_area, m_state->m_area + kInputArea);
  if (!inPrefix.empty()) {
    WriteOut(inPrefix.data(), inPrefix.size());
    m_prefixSize = inPrefix.size();
  }
}

ZipPkgWriteStreamBuf::int_type ZipPkgWriteStreamBuf::overflow(int_type inChar) {
  DrainArea();
  if (!traits_type::eq_int_type(inChar, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(inChar);
    pbump(1);
  }
  return traits_type::not_eof(inChar);
}

std::streamsize ZipPkgWriteStreamBuf::xsputn(const char* inData, std::streamsize inCount) {
  if (inCount <= 0) {
    return 0;
  }
  const auto count = static_cast<std::size_t>(inCount);
  const auto room = static_cast<std::size_t>(epptr() - pptr());
  if (count <= room) {
    std::memcpy(pptr(), inData, count);
    pbump(static_cast<int>(count));
    return inCount;
  }
  DrainArea();
  Consume(inData, count);
  return inCount;
}

int ZipPkgWriteStreamBuf::sync() { return 0; }

void ZipPkgWriteStreamBuf::DrainArea() {
  const auto count = static_cast<std::size_t>(pptr() - pbase());
  setp(m_state->m_area, m_state->m_area + kInputArea);
  if (count != 0) {
    Consume(m_state->m_area, count);
  }
}

void ZipPkgWriteStreamBuf::Consume(const char* inData, std::size_t inCount) {
  if (m_finished) {
    throw PackageException(kPkgErrIllegalState);
  }
  std::size_t done = 0;
  while (done < inCount) {
    const std::size_t chunk = std::min(inCount - done, kMaxChunk);
    if (!m_raw) {
      m_crc = static_cast<uint32_t>(
          crc32(m_crc, reinterpret_cast<const Bytef*>(inData + done), static_cast<uInt>(chunk)));
    }
    m_size += chunk;
    if (m_deflating) {
      Deflate(inData + done, chunk, Z_NO_FLUSH);
    } else {
      WriteOut(inData + done, chunk);
    }
    done += chunk;
  }
}

void ZipPkgWriteStreamBuf::Deflate(const char* inData, std::size_t inCount, int inFlush) {
  z_stream& zstream = *m_zstream;
  zstream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(inData));
  zstream.avail_in = static_cast<uInt>(inCount);
  for (;;) {
    zstream.next_out = m_state->m_output;
    zstream.avail_out = static_cast<uInt>(kOutputBlock);
    const int status = deflate(&zstream, inFlush);
    if (status == Z_STREAM_ERROR) {
      throw PackageException(kPkgErrDeflateWrite);
    }
    const std::size_t made = kOutputBlock - zstream.avail_out;
    if (made != 0) {
      WriteOut(m_state->m_output, made);
    }
    if (inFlush == Z_FINISH) {
      if (status == Z_STREAM_END) {
        return;
      }
    } else if (zstream.avail_out != 0) {
      // Room was left over, so the compressor has taken everything it will take.
      if (zstream.avail_in != 0) {
        throw PackageException(kPkgErrDeflateWrite);
      }
      return;
    }
  }
}

void ZipPkgWriteStreamBuf::WriteOut(const void* inData, std::size_t inCount) {
  if (m_pendingCount + inCount > kPendingSize) {
    FlushPending();
  }
  if (inCount >= kPendingSize) {
    const uint64_t at = m_offset + m_written;
    m_target->Seek(static_cast<int64_t>(at), kPkgSeekBegin);
    m_target->Write(inData, inCount);
    m_written += inCount;
    return;
  }
  std::memcpy(m_state->m_pending + m_pendingCount, inData, inCount);
  m_pendingCount += inCount;
}

void ZipPkgWriteStreamBuf::FlushPending() {
  if (m_pendingCount == 0) {
    return;
  }
  // Every write positions the file first: read streams may move it in between.
  const uint64_t at = m_offset + m_written;
  m_target->Seek(static_cast<int64_t>(at), kPkgSeekBegin);
  m_target->Write(m_state->m_pending, m_pendingCount);
  m_written += m_pendingCount;
  m_pendingCount = 0;
}

void ZipPkgWriteStreamBuf::Finish() {
  if (m_finished) {
    return;
  }
  DrainArea();
  if (m_deflating) {
    Deflate(nullptr, 0, Z_FINISH);
    m_deflating = false;
  }
  m_finished = true;
}

void ZipPkgWriteStreamBuf::Complete(const std::vector<uint8_t>* inPrefix) {
  if (inPrefix != nullptr && inPrefix->size() != m_prefixSize) {
    throw PackageException(kPkgErrIllegalState);
  }
  if (inPrefix != nullptr && m_written == 0) {
    std::memcpy(m_state->m_pending, inPrefix->data(), m_prefixSize);
    FlushPending();
    return;
  }
  FlushPending();
  if (inPrefix != nullptr) {
    m_target->Seek(static_cast<int64_t>(m_offset), kPkgSeekBegin);
    m_target->Write(inPrefix->data(), inPrefix->size());
  }
}

// ---- ZipPkgWriteStream

ZipPkgWriteStream::ZipPkgWriteStream(ZipPkgFile* inEntry, PkgFSFilePtr inTarget, uint64_t inOffset,
                                     const std::vector<uint8_t>& inPrefix, bool inDirect, int inMethod, bool inRaw,
                                     std::unique_ptr<ZpWriteState> inState)
    : m_entry(inEntry),
      m_offset(inOffset + inPrefix.size()),
      m_direct(inDirect),
      m_method(inMethod),
      m_raw(inRaw),
      m_buffer(new ZipPkgWriteStreamBuf(std::move(inTarget), inOffset, inPrefix, inMethod, inRaw, std::move(inState))) {
  rdbuf(m_buffer.get());
  exceptions(std::ios_base::badbit);
}

ZipPkgWriteStream::~ZipPkgWriteStream() {
  try {
    Close();
  } catch (const PackageException&) {
    // Nothing can be reported from a destructor; the entry keeps no new data.
  }
}

void ZipPkgWriteStream::Close() {
  if (!m_buffer) {
    return;
  }
  std::unique_ptr<ZipPkgWriteStreamBuf> buffer = std::move(m_buffer);
  ZipPkgFile* entry = m_entry;
  m_entry = nullptr;
  exceptions(std::ios_base::goodbit);
  rdbuf(nullptr);
  ZipPackage* package = entry->GetZipPackage();
  try {
    buffer->Finish();
    ZipPkgFile::StagedData staged;
    staged.present = true;
    staged.direct = m_direct;
    staged.method = m_method;
    staged.offset = m_offset;
    staged.compressedSize = buffer->GetCompressedSize();
    if (m_raw) {
      staged.size = entry->GetSize64();
      staged.crc = entry->GetCRC();
    } else {
      staged.size = buffer->GetSize();
      staged.crc = buffer->GetCRC();
    }
    entry->WriteStreamClosed(this, &staged, buffer.get());
  } catch (...) {
    package->KeepWriteState(buffer->ReleaseState());
    // Reports the failure unless the entry has already been told.
    entry->WriteStreamClosed(this, nullptr, nullptr);
    throw;
  }
  package->KeepWriteState(buffer->ReleaseState());
}

IPkgFile* ZipPkgWriteStream::GetFile() const { return m_entry; }

}  // namespace zip
}  // namespace pkg
