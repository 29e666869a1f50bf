// Speech plus MP3 encoding of a message, in process (TextToSpeech, then
// Wav2Mp3) against the command-line tools run one after the other on the
// same text with the same voice: espeak-ng -w, then lame -b 128. The tools
// keep espeak-ng's 22050 Hz mono, a quarter of the samples the gateway
// encodes, so a third line adds sox to bring them to the gateway's format.
//
//   speech_bench [runs]     (run from the program directory, beside liblame_enc.so)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "gateway/audio/text_to_speech.h"
#include "gateway/audio/wav_to_mp3.h"
#include "platform/codepage/codepage.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Message {
  const char* name;
  std::string utf8;
};

struct Sample {
  std::vector<double> wall, cpu, firstStep;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double Milliseconds(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// CPU time (user and system) of this process, or of its waited-for children.
double CpuMilliseconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

bool Run(const std::vector<std::string>& arguments) {
  std::string command;
  for (const std::string& argument : arguments) command += "'" + argument + "' ";
  command += ">/dev/null 2>&1";
  int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

uintmax_t FileSize(const fs::path& path) {
  std::error_code error;
  uintmax_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

// Times `first` then `second`; false when either fails.
bool Measure(int who, Sample& sample, const std::function<bool()>& first, const std::function<bool()>& second) {
  auto start = Clock::now();
  double cpu = CpuMilliseconds(who);
  if (!first()) return false;
  sample.firstStep.push_back(Milliseconds(start));
  if (!second()) return false;
  sample.wall.push_back(Milliseconds(start));
  sample.cpu.push_back(CpuMilliseconds(who) - cpu);
  return true;
}

void Report(const char* what, const Sample& sample, const fs::path& mp3) {
  std::printf("  %-48s %8.1f %8.1f %8.1f %9ju\n", what, Median(sample.firstStep), Median(sample.wall),
              Median(sample.cpu), FileSize(mp3));
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::vector<Message> messages = {
      {"Chinese, 70 characters",
       "各位居民请注意，今天下午三点至五点小区将进行停水检修，请提前做好储水准备。"
       "如有疑问请联系物业服务中心，电话八八六六五五四四，谢谢大家的配合。"},
      {"ASCII, 160 characters",
       "Attention please: the water supply to all of the buildings will be cut off from three to five "
       "this afternoon for maintenance work. Please save water in advance."},
  };
  const std::string voice = "cmn+f3";  // what the catalogue gives "girl xiaokun"
  const fs::path work = fs::temp_directory_path() / ("speech_bench." + std::to_string(getpid()));
  fs::create_directories(work);
  auto file = [&](const char* name) { return (work / name).string(); };

  std::printf("%d runs each; medians in milliseconds (speech step, wall clock in all, CPU in all), MP3 bytes\n", runs);
  for (const Message& message : messages) {
    const std::string gbk = codepage::Utf8ToGbk(message.utf8);
    std::ofstream(work / "text.txt") << message.utf8;
    Sample ours, tools, toolsSameFormat;
    bool ok = true;
    for (int run = 0; run < runs && ok; ++run) {
      ok = Measure(
          RUSAGE_SELF, ours,
          [&] {
            TextToSpeech speech;
            return speech.Text2Wav(gbk, file("ours.wav")) == kText2WavWritten;
          },
          [&] {
            LameEntryTable entries{};
            Wav2Mp3(file("ours.wav"), entries);
            return FileSize(file("ours.mp3")) > 0;
          });
      auto speak = [&] { return Run({"espeak-ng", "-v", voice, "-f", file("text.txt"), "-w", file("tools.wav")}); };
      ok = ok && Measure(RUSAGE_CHILDREN, tools, speak, [&] {
             return Run({"lame", "--quiet", "-b", "128", file("tools.wav"), file("tools.mp3")});
           });
      ok = ok && Measure(RUSAGE_CHILDREN, toolsSameFormat, speak, [&] {
             return Run({"sox", file("tools.wav"), "-r", "44100", "-c", "2", file("tools44.wav")}) &&
                    Run({"lame", "--quiet", "-b", "128", file("tools44.wav"), file("tools44.mp3")});
           });
    }
    if (!ok) {
      std::fprintf(stderr, "a step failed (run speech_bench from the directory of liblame_enc.so)\n");
      fs::remove_all(work);
      return 1;
    }
    std::printf("%s\n  %-48s %8s %8s %8s %9s\n", message.name, "", "speech", "wall", "CPU", "MP3");
    Report("Text2Wav, Wav2Mp3 (44.1 kHz stereo)", ours, work / "ours.mp3");
    Report("espeak-ng -w; lame -b 128 (22 kHz mono)", tools, work / "tools.mp3");
    Report("espeak-ng -w; sox; lame -b 128 (44.1 kHz stereo)", toolsSameFormat, work / "tools44.mp3");
  }
  fs::remove_all(work);
  return 0;
}
