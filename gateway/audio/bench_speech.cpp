// Speech plus MP3 encoding of a message, in process (TextToSpeech, Wav2Mp3)
// against the command-line tools run one after the other (espeak-ng -w, then
// lame -b 128), on the same texts and the same voice.
//
//   speech_bench [runs]     (from the program directory, beside liblame_enc.so)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "codepage.h"
#include "text_to_speech.h"
#include "wav_to_mp3.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Message {
  const char* name;
  std::string utf8;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Milliseconds(Clock::time_point since) {
  return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// CPU seconds (user and system) of this process or of its waited-for children.
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

uintmax_t FileSize(const std::filesystem::path& path) {
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::vector<Message> messages = {
      {"Chinese, 70 characters",
       "各位居民请注意，今天下午三点至五点小区将进行停水检修，请提前做好储水准备。"
       "如有疑问请联系物业服务中心，电话八八六六五五四四，谢谢大家的配合。"},
      {"ASCII, 160 characters",
       "Attention please: the water supply to all of the buildings will be cut off from three to five "
       "this afternoon for maintenance work. Please save water in advance."},
  };
  std::filesystem::path work = std::filesystem::temp_directory_path() / ("speech_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  const std::string voice = "cmn+f3";  // what the catalogue gives "girl xiaokun"

  std::printf("%d runs each; median wall-clock milliseconds, and CPU time\n", runs);
  std::printf("%-24s %6s %10s %10s %10s | %10s %10s %10s\n", "message", "chars", "Text2Wav", "+ Wav2Mp3", "ours",
              "espeak-ng", "+ lame", "tools");
  for (const Message& message : messages) {
    std::u16string wide = codepage::Utf8ToUtf16(message.utf8);
    std::string gbk = codepage::Utf8ToGbk(message.utf8);
    std::vector<double> ours, ourSpeak, speak, encode, tools, ourCpu, toolCpu;
    uintmax_t ourBytes = 0, toolBytes = 0;
    for (int run = 0; run < runs; ++run) {
      std::string wav = (work / "ours.wav").string();
      auto start = Clock::now();
      double cpu = CpuMilliseconds(RUSAGE_SELF);
      {
        TextToSpeech speech;
        if (speech.Text2Wav(gbk, wav) != kText2WavWritten) {
          std::fprintf(stderr, "Text2Wav failed\n");
          return 1;
        }
      }
      ourSpeak.push_back(Milliseconds(start));
      LameEntryTable entries{};
      Wav2Mp3(wav, entries);
      ours.push_back(Milliseconds(start));
      ourCpu.push_back(CpuMilliseconds(RUSAGE_SELF) - cpu);
      ourBytes = FileSize(work / "ours.mp3");
      if (ourBytes == 0) {
        std::fprintf(stderr, "Wav2Mp3 made no MP3 (run from the directory of liblame_enc.so)\n");
        return 1;
      }

      std::filesystem::path text = work / "text.txt";
      std::ofstream(text) << message.utf8;
      start = Clock::now();
      cpu = CpuMilliseconds(RUSAGE_CHILDREN);
      bool ok = Run({"espeak-ng", "-v", voice, "-f", text.string(), "-w", (work / "tools.wav").string()});
      speak.push_back(Milliseconds(start));
      auto encodeStart = Clock::now();
      ok = ok && Run({"lame", "--quiet", "-b", "128", (work / "tools.wav").string(), (work / "tools.mp3").string()});
      encode.push_back(Milliseconds(encodeStart));
      tools.push_back(Milliseconds(start));
      toolCpu.push_back(CpuMilliseconds(RUSAGE_CHILDREN) - cpu);
      if (!ok) {
        std::fprintf(stderr, "espeak-ng or lame failed\n");
        return 1;
      }
      toolBytes = FileSize(work / "tools.mp3");
    }
    std::printf("%-24s %6zu %10.1f %10.1f %10.1f | %10.1f %10.1f %10.1f\n", message.name, wide.size(),
                Median(ourSpeak), Median(ours) - Median(ourSpeak), Median(ours), Median(speak), Median(encode),
                Median(tools));
    std::printf("%-24s %6s %21s %10.1f | %21s %10.1f  (CPU ms)\n", "", "", "", Median(ourCpu), "", Median(toolCpu));
    std::printf("%-24s %6s %32ju | %32ju  (MP3 bytes)\n", "", "", ourBytes, toolBytes);
  }
  std::filesystem::remove_all(work);
  return 0;
}
