#pragma once
// A FLAC stream decoded from memory by libFLAC's own decoder, with the
// metadata it reports: what a player would make of our files.

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "convert/samples.h"

namespace kowaki::test {

struct DecodedFlac {
  bool ok = false;  // decoded to the end, the audio's MD5 as STREAMINFO says
  std::string pcm;  // 16-bit little-endian, interleaved
  uint32_t rate = 0;
  uint32_t channels = 0;
  uint64_t total_frames = 0;          // as STREAMINFO says
  std::vector<std::string> comments;  // NAME=value
  bool has_cue_sheet = false;
  bool cue_sheet_is_cd = true;
  std::vector<uint64_t> track_offsets;  // the lead-out's last
  std::vector<uint32_t> track_numbers;
};

namespace flac_detail {

struct Reader {
  const std::string& bytes;
  size_t at = 0;
  DecodedFlac decoded;
};

inline FLAC__StreamDecoderReadStatus Read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                          size_t* size, void* client) {
  Reader& reader = *static_cast<Reader*>(client);
  *size = std::min(*size, reader.bytes.size() - reader.at);
  std::memcpy(buffer, reader.bytes.data() + reader.at, *size);
  reader.at += *size;
  return *size ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE
               : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
}

inline FLAC__StreamDecoderWriteStatus Write(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                            const FLAC__int32* const planes[], void* client) {
  std::string& pcm = static_cast<Reader*>(client)->decoded.pcm;
  for (uint32_t i = 0; i < frame->header.blocksize; ++i) {
    for (uint32_t c = 0; c < frame->header.channels; ++c) {
      uint8_t sample[2];
      StoreSample(sample, planes[c][i]);
      pcm.append(reinterpret_cast<const char*>(sample), 2);
    }
  }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

inline void Metadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* block, void* client) {
  DecodedFlac& decoded = static_cast<Reader*>(client)->decoded;
  if (block->type == FLAC__METADATA_TYPE_STREAMINFO) {
    decoded.rate = block->data.stream_info.sample_rate;
    decoded.channels = block->data.stream_info.channels;
    decoded.total_frames = block->data.stream_info.total_samples;
  } else if (block->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
    const auto& comment = block->data.vorbis_comment;
    for (uint32_t i = 0; i < comment.num_comments; ++i) {
      decoded.comments.emplace_back(reinterpret_cast<const char*>(comment.comments[i].entry),
                                    comment.comments[i].length);
    }
  } else if (block->type == FLAC__METADATA_TYPE_CUESHEET) {
    const auto& sheet = block->data.cue_sheet;
    decoded.has_cue_sheet = true;
    decoded.cue_sheet_is_cd = sheet.is_cd;
    for (uint32_t i = 0; i < sheet.num_tracks; ++i) {
      decoded.track_offsets.push_back(sheet.tracks[i].offset);
      decoded.track_numbers.push_back(sheet.tracks[i].number);
    }
  }
}

inline void Error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void* client) {
  static_cast<Reader*>(client)->decoded.ok = false;
}

}  // namespace flac_detail

inline DecodedFlac DecodeFlac(const std::string& bytes) {
  struct Deleter {
    void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
  };
  std::unique_ptr<FLAC__StreamDecoder, Deleter> decoder(FLAC__stream_decoder_new());
  flac_detail::Reader reader{bytes, 0, {}};
  FLAC__stream_decoder_set_md5_checking(decoder.get(), true);
  FLAC__stream_decoder_set_metadata_respond(decoder.get(), FLAC__METADATA_TYPE_VORBIS_COMMENT);
  FLAC__stream_decoder_set_metadata_respond(decoder.get(), FLAC__METADATA_TYPE_CUESHEET);
  if (FLAC__stream_decoder_init_stream(decoder.get(), flac_detail::Read, nullptr, nullptr, nullptr,
                                       nullptr, flac_detail::Write, flac_detail::Metadata,
                                       flac_detail::Error,
                                       &reader) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    return {};
  }
  reader.decoded.ok = true;
  const bool decoded = FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
  const bool md5_matches = FLAC__stream_decoder_finish(decoder.get());
  reader.decoded.ok = reader.decoded.ok && decoded && md5_matches;
  return reader.decoded;
}

}  // namespace kowaki::test
