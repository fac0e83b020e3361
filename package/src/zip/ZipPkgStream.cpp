#include "zip/ZipPkgStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "pkg/PkgException.h"
#include "zip/ZipPackage.h"

namespace pkg {
namespace zip {

namespace {
constexpr uint64_t kMaxPosition = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
}  // namespace

// ---- ZipPkgStreamData

ZipPkgStreamData::ZipPkgStreamData() { std::memset(&m_zstream, 0, sizeof(m_zstream)); }

ZipPkgStreamData::~ZipPkgStreamData() {
  if (m_inflating) {
    inflateEnd(&m_zstream);
  }
}

void ZipPkgStreamData::Start(PkgFSFilePtr inSource, int inMethod, uint64_t inStart, uint64_t inEnd, uint64_t inLimit) {
  if (m_inflating) {
    inflateEnd(&m_zstream);
    m_inflating = false;
  }
  m_source = std::move(inSource);
  m_method = inMethod;
  m_start = std::min(inStart, kMaxPosition);
  m_end = std::min(std::max(inEnd, m_start), kMaxPosition);
  m_current = m_start;
  m_limit = inLimit;
  m_produced = 0;
  m_status = Z_OK;
  if (m_method != 0 && m_end > m_start) {
    std::memset(&m_zstream, 0, sizeof(m_zstream));
    if (inflateInit2(&m_zstream, -MAX_WBITS) != Z_OK) {
      throw PackageException(kPkgErrDecompress);
    }
    m_inflating = true;
  }
}

std::size_t ZipPkgStreamData::Read(char* outBuffer, std::size_t inCount) {
  if (inCount == 0) {
    return 0;
  }
  if (m_method == 0) {
    return ReadStored(outBuffer, inCount);
  }
  if (!m_inflating) {
    return 0;  // a deflated entry without data
  }
  return ReadInflated(outBuffer, inCount);
}

std::size_t ZipPkgStreamData::ReadStored(char* outBuffer, std::size_t inCount) {
  if (m_current >= m_end) {
    return 0;
  }
  const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(inCount, m_end - m_current));
  m_source->Seek(static_cast<int64_t>(m_current), kPkgSeekBegin);
  const std::size_t got = m_source->Read(outBuffer, count);
  m_current += got;
  return got;
}

std::size_t ZipPkgStreamData::ReadInflated(char* outBuffer, std::size_t inCount) {
  std::size_t done = 0;
  while (done < inCount) {
    if (m_status == Z_STREAM_END) {
      break;
    }
    if (m_status != Z_OK) {
      throw PackageException(kPkgErrDecompress);
    }
    if (m_zstream.avail_in == 0 && m_current < m_end) {
      const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(kInputSize, m_end - m_current));
      m_source->Seek(static_cast<int64_t>(m_current), kPkgSeekBegin);
      const std::size_t got = m_source->Read(m_input, want);
      m_current = got == 0 ? m_end : m_current + got;  // a file that ends early ends the input
      m_zstream.next_in = m_input;
      m_zstream.avail_in = static_cast<uInt>(got);
    }
    // One byte of room past the limit shows whether the data go on beyond the declared size.
    const uint64_t allowed = m_limit - m_produced == std::numeric_limits<uint64_t>::max()
                                 ? m_limit - m_produced
                                 : m_limit - m_produced + 1;
    const std::size_t room = static_cast<std::size_t>(
        std::min<uint64_t>({inCount - done, allowed, std::numeric_limits<uInt>::max()}));
    m_zstream.next_out = reinterpret_cast<Bytef*>(outBuffer + done);
    m_zstream.avail_out = static_cast<uInt>(room);
    m_status = inflate(&m_zstream, Z_NO_FLUSH);
    const std::size_t made = room - m_zstream.avail_out;
    done += made;
    m_produced += made;
    if (m_produced > m_limit) {
      m_status = Z_DATA_ERROR;
      throw PackageException(kPkgErrDecompress);
    }
  }
  return done;
}

void ZipPkgStreamData::SeekStored(uint64_t inTarget) {
  m_current = inTarget > kMaxPosition - m_start ? kMaxPosition : m_start + inTarget;
}

void ZipPkgStreamData::End() {
  if (!m_inflating) {
    m_source.reset();
    return;
  }
  m_inflating = false;
  m_source.reset();
  if (inflateEnd(&m_zstream) != Z_OK) {
    throw PackageException(kPkgErrClosePackage);
  }
}

// ---- ZipPkgStreamBuf

ZipPkgStreamBuf::ZipPkgStreamBuf(ZipPkgFile* inEntry, int inMode, bool inRaw)
    : m_entry(inEntry), m_mode(inMode), m_raw(inRaw) {
  if (!m_raw && m_entry->HasTempData()) {
    SwitchToTempFile();
  } else {
    m_size = static_cast<int64_t>(std::min(m_entry->StartPackageData(m_data, m_raw), kMaxPosition));
  }
  setg(m_area + kPutBack, m_area + kPutBack, m_area + kPutBack);
}

void ZipPkgStreamBuf::SwitchToTempFile() {
  PkgFSFilePtr temp = m_entry->OpenTempData();
  if (!temp->IsSeekable()) {
    throw PackageException(kPkgErrUnsupportedOperation);
  }
  temp->Seek(0, kPkgSeekEnd);
  const int64_t size = temp->Tell();
  m_data.End();
  m_data.Start(temp, 0, 0, static_cast<uint64_t>(size), static_cast<uint64_t>(size));
  m_size = size;
  m_separate = true;
}

void ZipPkgStreamBuf::Close() {
  if (!m_open) {
    return;
  }
  m_open = false;
  setg(m_area + kPutBack, m_area + kPutBack, m_area + kPutBack);
  m_data.End();
}

ZipPkgStreamBuf::int_type ZipPkgStreamBuf::underflow() {
  if (gptr() < egptr()) {
    return traits_type::to_int_type(*gptr());
  }
  if (!m_open) {
    return traits_type::eof();
  }
  const std::size_t keep = std::min<std::size_t>(kPutBack, static_cast<std::size_t>(gptr() - eback()));
  std::memmove(m_area + kPutBack - keep, gptr() - keep, keep);
  const std::size_t got = m_data.Read(m_area + kPutBack, kReadArea);
  setg(m_area + kPutBack - keep, m_area + kPutBack, m_area + kPutBack + got);
  m_position += static_cast<int64_t>(got);
  return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize ZipPkgStreamBuf::xsgetn(char* outBuffer, std::streamsize inCount) {
  if (inCount <= 0) {
    return 0;
  }
  const std::size_t wanted = static_cast<std::size_t>(inCount);
  const std::size_t buffered = std::min<std::size_t>(wanted, static_cast<std::size_t>(egptr() - gptr()));
  std::memcpy(outBuffer, gptr(), buffered);
  gbump(static_cast<int>(buffered));
  std::size_t done = buffered;
  if (done < wanted && m_open) {
    while (done < wanted) {
      const std::size_t got = m_data.Read(outBuffer + done, wanted - done);
      if (got == 0) {
        break;
      }
      done += got;
      m_position += static_cast<int64_t>(got);
    }
    // Keep the last bytes delivered as put-back room.
    const std::size_t keep = std::min(kPutBack, done);
    std::memcpy(m_area + kPutBack - keep, outBuffer + done - keep, keep);
    setg(m_area + kPutBack - keep, m_area + kPutBack, m_area + kPutBack);
  }
  return static_cast<std::streamsize>(done);
}

ZipPkgStreamBuf::pos_type ZipPkgStreamBuf::seekoff(off_type inOffset, std::ios_base::seekdir inDirection,
                                                   std::ios_base::openmode inWhich) {
  if (!m_open) {
    return pos_type(off_type(-1));
  }
  const int64_t current = CurrentPosition();
  int64_t base = 0;
  if (inDirection == std::ios_base::beg) {
    base = 0;
  } else if (inDirection == std::ios_base::cur) {
    base = current;
  } else if (inDirection == std::ios_base::end) {
    base = m_size;
  } else {
    throw PackageException(kPkgErrBadArgument);
  }
  const int64_t offset = static_cast<int64_t>(inOffset);
  if ((offset < 0 && base + offset < 0) || (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)) {
    return pos_type(off_type(-1));
  }
  const int64_t target = base + offset;
  if (target == current) {
    return pos_type(off_type(target));
  }
  if (!m_data.IsStored()) {
    if ((m_mode & kPkgModeIn) == 0) {
      throw PackageException(kPkgErrUnsupportedOperation);
    }
    // A compressed entry is inflated whole into its temporary file before it first moves.
    m_entry->FillTempData();
    SwitchToTempFile();
  }
  m_position = target;
  m_data.SeekStored(static_cast<uint64_t>(target));
  setg(m_area + kPutBack, m_area + kPutBack, m_area + kPutBack);
  return pos_type(off_type(target));
}

ZipPkgStreamBuf::pos_type ZipPkgStreamBuf::seekpos(pos_type inPosition, std::ios_base::openmode inWhich) {
  return seekoff(off_type(inPosition), std::ios_base::beg, inWhich);
}

// ---- ZipPkgStream

ZipPkgStream::ZipPkgStream(ZipPkgFile* inEntry, int inMode, bool inRaw)
    : m_entry(inEntry), m_buffer(new ZipPkgStreamBuf(inEntry, inMode, inRaw)) {
  rdbuf(m_buffer.get());
  // Library errors pass through the stream operations to the caller.
  exceptions(std::ios_base::badbit);
}

ZipPkgStream::~ZipPkgStream() {
  try {
    Close();
  } catch (const PackageException&) {
    // Nothing can be reported from a destructor; the decoder's memory is freed anyway.
  }
}

void ZipPkgStream::Close() {
  if (!m_buffer) {
    return;
  }
  std::unique_ptr<ZipPkgStreamBuf> buffer = std::move(m_buffer);
  ZipPkgFile* entry = m_entry;
  m_entry = nullptr;
  exceptions(std::ios_base::goodbit);
  rdbuf(nullptr);
  entry->RemoveStream(this);
  buffer->Close();
}

IPkgFile* ZipPkgStream::GetFile() const { return m_entry; }

}  // namespace zip
}  // namespace pkg
