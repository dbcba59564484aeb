// The rule that shows and tracks each decode once, as the live tracker
// meets it when it shares WSJT-X's datagrams: a sequence of Decode
// datagrams written from the input, their copies (another Id, the New flag
// changed, the flags after the message changed, as replays and other
// interfaces bring them), cut or foreign datagrams, at times that go
// forward. Checked against what the rule promises, not how it keeps it:
//  - two copies of one decode give one key, two different decodes two;
//  - a decode never met before is always taken;
//  - while memory is ample, a copy within the span is never taken again;
//  - what the memory costs stays within its bound.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "live_tracker/seen_decodes.h"
#include "wsjtx/datagram_reader.h"
#include "wsjtx/datagram_writer.h"

namespace {

using fuzz::quoted;

DecodeFields fields_from(FuzzedDataProvider& in) {
  DecodeFields f;
  f.time_ms = in.ConsumeIntegralInRange<std::int32_t>(0, 86399999);
  f.snr_db = in.ConsumeIntegralInRange<std::int32_t>(-30, 30);
  f.dt_s = in.ConsumeIntegralInRange<int>(-50, 50) / 10.0;
  f.audio_offset_hz = in.ConsumeIntegralInRange<std::int32_t>(0, 3000);
  f.mode = in.ConsumeBool() ? "~" : "+";
  f.message = in.ConsumeRandomLengthString(20);
  return f;
}

// The same decode as another copy would carry it.
std::string copy_of(DecodeFields f, FuzzedDataProvider& in) {
  f.is_new = in.ConsumeBool();
  f.id = in.ConsumeBool() ? "WSJT-X" : "WSJT-X - IC7300";
  std::string datagram = encode_decode_datagram(f);
  if (in.ConsumeBool()) datagram.back() = '\1';  // the off-air flag
  return datagram;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::int64_t span = in.ConsumeIntegralInRange<std::int64_t>(1, 100000);
  const bool ample = in.ConsumeBool();
  const std::size_t most_bytes =
      ample ? std::size_t{1} << 30 : in.ConsumeIntegralInRange<std::size_t>(0, 4000);
  SeenDecodes seen(span, most_bytes);

  std::vector<DecodeFields> decodes;
  std::vector<std::string> keys;                 // of each decode, as its first copy gives it
  std::map<std::string, std::int64_t> taken_at;  // each key met, when it was last taken
  std::int64_t now = 0;
  while (in.remaining_bytes() > 0) {
    now += in.ConsumeIntegralInRange<std::int64_t>(0, span);
    std::string datagram;
    const int what = in.ConsumeIntegralInRange<int>(0, 3);
    if (what == 0 || decodes.empty()) {
      decodes.push_back(fields_from(in));
      keys.push_back(decode_key(encode_decode_datagram(decodes.back())));
      datagram = copy_of(decodes.back(), in);
    } else if (what == 1) {
      datagram = in.ConsumeRandomLengthString(64);  // anything at all
    } else {
      const std::size_t which = in.ConsumeIntegralInRange<std::size_t>(0, decodes.size() - 1);
      datagram = copy_of(decodes[which], in);
      FUZZ_CHECK(decode_key(datagram) == keys[which],
                 "two copies of one decode, two keys: " + quoted(datagram));
    }
    if (!parse_decode_datagram(datagram)) continue;  // no decode: never reaches the rule
    const std::string key = decode_key(datagram);
    const bool taken = seen.first_arrival(key, now);
    const auto met = taken_at.find(key);
    FUZZ_CHECK(taken || met != taken_at.end(), "a decode never met was passed over: " + quoted(datagram));
    if (ample && met != taken_at.end() && now - met->second < span)
      FUZZ_CHECK(!taken, "a copy taken again within the span: " + quoted(datagram));
    if (taken) taken_at[key] = now;
    FUZZ_CHECK(seen.cost() <= std::max(most_bytes, seen_cost(key)),
               "memory past its bound: " + std::to_string(seen.cost()));
  }
  // Different decodes, different keys.
  for (std::size_t i = 1; i < decodes.size(); ++i) {
    const DecodeFields& a = decodes[i - 1];
    const DecodeFields& b = decodes[i];
    const bool same = a.time_ms == b.time_ms && a.snr_db == b.snr_db && a.dt_s == b.dt_s &&
                      a.audio_offset_hz == b.audio_offset_hz && a.mode == b.mode && a.message == b.message;
    FUZZ_CHECK(same == (keys[i - 1] == keys[i]),
               "keys of " + quoted(a.message) + " and " + quoted(b.message));
  }
  return 0;
}
