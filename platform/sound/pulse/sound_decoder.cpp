#include "platform/sound/pulse/sound_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace tonvela {
namespace {

// libsndfile quietly plays what is left of a RIFF file cut short (a copy that did not finish,
// a download that broke off): it trims the data to what is there. Such a file is damaged, so the
// size the RIFF header announces is checked against the file's actual size.
bool riffCutShort(int fd) {
  std::array<unsigned char, 8> header{};
  struct stat info {};
  if (::pread(fd, header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) ||
      std::memcmp(header.data(), "RIFF", 4) != 0 || ::fstat(fd, &info) != 0) {
    return false;
  }
  std::uint32_t riffSize = header[4] | (header[5] << 8U) | (header[6] << 16U) |
                           (static_cast<std::uint32_t>(header[7]) << 24U);
  // Writers that stream to a pipe cannot go back to fill the size in and leave 0 or all ones.
  constexpr std::uint32_t kUnknownSize = 0xFFFFFFFFU;
  if (riffSize == 0 || riffSize >= kUnknownSize - 8) {
    return false;
  }
  return static_cast<std::uint64_t>(riffSize) + 8 > static_cast<std::uint64_t>(info.st_size);
}

}  // namespace

std::unique_ptr<SoundDecoder> SoundDecoder::open(int fd) {
  if (riffCutShort(fd)) {
    return nullptr;
  }
  // libsndfile closes the descriptor when it cannot read the file, whatever it is told, so it is
  // given one of its own: closing the caller's would close whatever file is opened next under the
  // same number.
  int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (own < 0) {
    return nullptr;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open_fd(own, SFM_READ, &info, SF_TRUE);
  if (file == nullptr) {
    return nullptr;
  }
  // Integer files scaled to -1..1 and float files clipped there, as the server expects.
  sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return std::unique_ptr<SoundDecoder>(new SoundDecoder(file, info));
}

SoundDecoder::~SoundDecoder() { sf_close(file_); }

std::size_t SoundDecoder::read(float* out, std::size_t maxFrames) {
  if (failed_ || framesRead_ >= info_.frames) {
    return 0;
  }
  sf_count_t got = sf_readf_float(file_, out, static_cast<sf_count_t>(maxFrames));
  if (got <= 0 || sf_error(file_) != SF_ERR_NO_ERROR) {
    // The header promised more frames than the file holds, or the data could not be decoded.
    failed_ = true;
    return 0;
  }
  framesRead_ += got;
  return static_cast<std::size_t>(got);
}

}  // namespace tonvela
