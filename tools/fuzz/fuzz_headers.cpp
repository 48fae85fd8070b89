// Fuzzes the header parsers and the GOP scan below the session: every start
// code of the input is parsed as its header, then the GOP scan runs from the
// start and from the middle and its restart token is followed.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

#include "mpeg/gop_scan.h"
#include "mpeg/headers.h"
#include "mpeg/session.h"
#include "tools/fuzz/fuzz_file.h"

namespace {

void parse_all(Reader& r, DecoderContext& ctx) {
  uint32_t pos = 0;
  for (int steps = 0; steps < 10000; ++steps) {
    uint32_t code = 0;
    if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) return;
    GopHeader gop;
    switch (code) {
      case SEQUENCE_HEADER_CODE:
        if (parse_sequence_header(r, pos, ctx)) setup_sequence(ctx, ctx.slice_state);
        break;
      case GROUP_START_CODE: parse_gop_header(r, pos, gop); break;
      case PICTURE_START_CODE:
        if (parse_picture_header(r, pos, ctx.picture, ctx.progressive_sequence))
          setup_picture(ctx.picture, ctx.slice_state);
        break;
      default: break;
    }
  }
}

void scan_from(Reader& r, int64_t offset, const FrameRateRecord& rate) {
  if (reader_seek(r, offset, FILE_SEEK_BEGIN) < 0) return;
  uint32_t pos = 0;
  int64_t result[3];
  if (!scan_gop(r, pos, rate, result)) return;
  pos = seek_token(r, static_cast<uint64_t>(result[GOP_RESTART_TOKEN]));
  uint32_t code = 0;
  next_start_code(r, pos, reader_budget(r, kSearchBudget), code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile("headers");
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);

  std::unique_ptr<Reader> r(new Reader());
  std::unique_ptr<DecoderContext> ctx(new DecoderContext());
  reader_init(*r, file_open_shared_read(path.c_str()));
  bool program_stream = false;
  if (probe_program_stream(*r, program_stream)) {
    r->program_stream = program_stream;
    if (reader_seek(*r, 0, FILE_SEEK_BEGIN) == 0) parse_all(*r, *ctx);
    FrameRateRecord rate = {30000, 1001, 0, data[0] & 1, size > 1 ? data[1] & 1 : 1};
    scan_from(*r, 0, rate);
    scan_from(*r, static_cast<int64_t>(size / 2), rate);
  }
  file_close(r->file);
  return 0;
}
