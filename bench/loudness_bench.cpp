// One loudness for every message, and the time it takes: 30 messages of 2
// to 70 characters, each made as the gateway makes it (speakable text,
// speech, levelling, MP3), measured with EBU R128 in the WAV file and in
// the MP3 file decoded again with libmpg123.
//
// Goals: integrated loudness within -16 +- 1 LU and true peak at most
// -1 dBTP, WAV and MP3 alike; under 0.5 s for a 70-character message,
// MP3 included. Exits 1 when a goal is missed.
//
//   loudness_bench     (run from the program directory, beside liblame_enc.so)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <mpg123.h>

#include "gateway/audio/loudness.h"
#include "gateway/audio/message_speech.h"
#include "gateway/audio/pcm_wav_file.h"
#include "gateway/audio/wav_to_mp3.h"
#include "platform/unicode/unicode_text.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kTarget = -16, kTolerance = 1, kCeiling = -1, kTimeGoalMs = 500;

const char* const kMessages[] = {
    "好的",
    "停电通知",
    "今晚停水。",
    "明天放假一天",
    "B栋电梯维修中",
    "请准时到会议室",
    "今天14:30开会",
    "火警！请立即疏散！",
    "明天最低气温-5度",
    "三号楼一层大厅集合",
    "降水概率80%，请带雨具",
    "请各班班主任到办公室开会",
    "如有疑问请联系13800138000",
    "会议改到3号楼2楼会议室，请准时参加",
    "今天晴转多云，气温-3~5℃，北风3-4级",
    "各位家长：明天上午8:30召开家长会，请准时参加。",
    "请全体师生注意，本周五下午两点举行消防演练，请听从指挥。",
    "紧急通知：A区2号门禁故障，请值班人员立即到A301室处理。",
    "期末考试定于2027年1月15日举行，请同学们认真复习，按时参加。",
    "本月电费共计12,800元，请于25日前缴纳，逾期将产生滞纳金，谢谢配合。",
    "台风预计2026-12-08晚间登陆，请大家关好门窗，不要外出，注意安全。",
    "WiFi密码已更新为ABC123，请连接School-Guest网络后重新登录系统。",
    "各位业主：小区将于明天9:00至17:00停水，请提前储水，给您带来不便敬请谅解。",
    "请注意：地下车库-2层积水严重，请车主尽快将车辆移至地面停车场，谢谢配合。",
    "今天下午三点在三号楼一楼会议室召开全体教师会议，请准时参加，不得缺席，谢谢。",
    "各位同学请注意，今天下午三点在操场集合，请带好雨具，注意安全，听从老师指挥。",
    "明天有大到暴雨，请大家带好雨具，注意出行安全，低洼地区的住户请做好防汛准备。",
    "服务热线400-800-1234，工作时间为每天8:00至20:00，节假日照常服务，欢迎来电咨询。",
    "火警！B栋3楼发生火情，请全体人员立即从最近的安全出口疏散，不要乘坐电梯，听从现场工作人员指挥，疏散后到操场集合清点"
    "人数！",
    "各位师生请注意，今天下午三点在三号楼一楼会议室召开全体教师会议，请准时参加，不得缺席。如有疑问请联系教务处王老师，"
    "电话13800138000",
};

struct Row {
  size_t characters;
  double seconds, milliseconds;
  LoudnessMeasure wav, mp3;
};

std::optional<PcmWav> DecodeMp3(const std::string& path) {
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  if (!handle) return std::nullopt;
  PcmWav pcm;
  long rate = 0;
  int channels = 0, encoding = 0;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO, 0);
  if (mpg123_open(handle, path.c_str()) == MPG123_OK &&
      mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK) {
    std::vector<unsigned char> buffer(mpg123_outblock(handle));
    size_t done = 0;
    int result;
    while ((result = mpg123_read(handle, buffer.data(), buffer.size(), &done)) == MPG123_OK || done > 0) {
      const int16_t* samples = reinterpret_cast<const int16_t*>(buffer.data());
      pcm.samples.insert(pcm.samples.end(), samples, samples + done / 2);
      if (result != MPG123_OK) break;
    }
    pcm.channels = channels;
    pcm.sampleRate = static_cast<uint32_t>(rate);
  }
  mpg123_close(handle);
  mpg123_delete(handle);
  if (pcm.samples.empty()) return std::nullopt;
  return pcm;
}

std::optional<LoudnessMeasure> MeasureFile(const std::optional<PcmWav>& pcm) {
  if (!pcm) return std::nullopt;
  return MeasureLoudness(pcm->samples, pcm->channels, pcm->sampleRate);
}

bool WithinGoals(const LoudnessMeasure& m) {
  return std::fabs(m.integratedLufs - kTarget) <= kTolerance && m.truePeakDbtp <= kCeiling;
}

}  // namespace

int main() {
  mpg123_init();
  fs::path dir = fs::temp_directory_path() / ("loudness_bench." + std::to_string(getpid()));
  fs::create_directories(dir);
  TextToSpeech speech;
  std::vector<Row> rows;
  bool ok = true;
  std::printf("%5s %7s %8s %9s %9s %9s %9s  %s\n", "chars", "audio s", "made ms", "WAV LUFS", "WAV dBTP", "MP3 LUFS",
              "MP3 dBTP", "message");
  for (const char* message : kMessages) {
    std::string wav = (dir / "message.wav").string();
    auto start = Clock::now();
    MessageSpeech made = SpeakMessage(speech, message, wav, LoudnessTarget{});
    LameEntryTable entries{};
    Wav2Mp3(wav, entries);
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::optional<PcmWav> wavPcm = ReadPcmWav(wav);
    std::optional<LoudnessMeasure> wavMeasure = MeasureFile(wavPcm),
                                   mp3Measure = MeasureFile(DecodeMp3(Mp3PathFor(wav)));
    if (!wavMeasure || !mp3Measure) {
      std::printf("could not measure: %s\n", message);
      return 1;
    }
    Row row{unicode::DecodeUtf8(message).text.size(),
            static_cast<double>(wavPcm->samples.size()) / wavPcm->channels / wavPcm->sampleRate, ms, *wavMeasure,
            *mp3Measure};
    ok = ok && WithinGoals(row.wav) && WithinGoals(row.mp3);
    std::printf("%5zu %7.2f %8.1f %9.2f %9.2f %9.2f %9.2f  %s\n", row.characters, row.seconds, row.milliseconds,
                row.wav.integratedLufs, row.wav.truePeakDbtp, row.mp3.integratedLufs, row.mp3.truePeakDbtp, message);
    rows.push_back(row);
  }
  fs::remove_all(dir);

  auto extreme = [&](auto field, bool most) {
    double value = most ? -HUGE_VAL : HUGE_VAL;
    for (const Row& row : rows) value = most ? std::max(value, field(row)) : std::min(value, field(row));
    return value;
  };
  std::vector<double> times;
  for (const Row& row : rows) times.push_back(row.milliseconds);
  std::sort(times.begin(), times.end());
  double longest = rows.back().milliseconds;
  std::printf("\nloudness: WAV %.2f to %.2f LUFS, MP3 %.2f to %.2f LUFS (goal %.0f +- %.0f LU)\n",
              extreme([](const Row& r) { return r.wav.integratedLufs; }, false),
              extreme([](const Row& r) { return r.wav.integratedLufs; }, true),
              extreme([](const Row& r) { return r.mp3.integratedLufs; }, false),
              extreme([](const Row& r) { return r.mp3.integratedLufs; }, true), kTarget, kTolerance);
  std::printf("true peak: WAV at most %.2f dBTP, MP3 at most %.2f dBTP (goal <= %.0f dBTP)\n",
              extreme([](const Row& r) { return r.wav.truePeakDbtp; }, true),
              extreme([](const Row& r) { return r.mp3.truePeakDbtp; }, true), kCeiling);
  std::printf(
      "time per message, MP3 included: median %.0f ms, slowest %.0f ms; %zu characters: %.0f ms (goal < %.0f ms)\n",
      times[times.size() / 2], times.back(), rows.back().characters, longest, kTimeGoalMs);
  ok = ok && longest < kTimeGoalMs;
  std::printf("%s\n", ok ? "all goals met" : "GOAL MISSED");
  return ok ? 0 : 1;
}
