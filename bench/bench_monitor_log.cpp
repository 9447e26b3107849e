// bench_monitor_log - how many traffic lines per second the real monitor (wayguard.exe)
// writes to its connection log, against the mailbox benchmark's consumer window in the
// same run, and that none is lost or reordered.
//
//   1. the consumer window in this process (the mailbox benchmark's), fed by a second copy
//      of this program through the interceptor's courier, as fast as the mailbox allows;
//   2. the same producer feeding wayguard.exe, which opens, appends to and closes the log
//      file for every line; timed until the last line is in the file;
//   3. interceptor.exe deciding N attempts, every one logged, into wayguard.exe;
//   4. wayguard.exe killed while lines pour in: how many lines it had taken and not written,
//      and how many milliseconds of lines that is at the rate it took them.
// Exit code 1 when a line was lost or came out of order.
// Usage: bench_monitor_log [lines]   (default 20000)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "connection_log.h"
#include "interceptor_courier.h"
#include "tessary.h"
#include "traffic_consumer.h"

namespace {

std::string line_for(int i, const char* head = "") {
  char line[96];
  snprintf(line, sizeof line, "%sout TCP/80 10.0.%d.%d IEXPLORE.EXE allow\n", head, (i / 250) % 256, i % 250);
  return line;
}

int produce(int count) {
  PFW_InitializeGlobalData();
  interceptor::Courier courier;
  HWND monitor = courier.monitor();
  if (!monitor) return 2;
  for (int i = 0; i < count; i++)
    if (courier.deliver(monitor, line_for(i)) != interceptor::Delivery::kSent) return 3;
  return courier.settle() ? 0 : 4;
}

std::string sibling(const char* name) { return "\"" + program_directory() + name + "\""; }

// Lines lost, or 1 when one is out of order: line i names the address made from i.
int faults_in(const std::vector<std::string>& lines, int count, bool crlf) {
  if ((int)lines.size() != count) return std::abs(count - (int)lines.size());
  for (int i = 0; i < count; i++) {
    std::string want = line_for(i);
    want.pop_back();
    if (lines[i].find(want.substr(4)) == std::string::npos) return 1;  // after "out "
    if (crlf && (lines[i].size() < 2 || lines[i].compare(lines[i].size() - 2, 2, "\r\n") != 0)) return 1;
  }
  return 0;
}

std::vector<std::string> log_lines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return lines;
  std::string all;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, n);
  fclose(f);
  size_t start = 0;
  for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(all.substr(start, end - start + 1));
  return lines;
}

LONGLONG file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return ((LONGLONG)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// wayguard.exe beside this program, with its window recorded.
struct RealMonitor {
  PROCESS_INFORMATION pi{};
  HWND window = nullptr;
  bool start() {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = sibling("wayguard.exe");
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    CloseHandle(pi.hThread);
    for (int i = 0; i < 1000 && !window; i++) {
      HWND h = PFW_GetGlobalMonitorHwnd();
      if (h && IsWindow(h))
        window = h;
      else
        Sleep(20);
    }
    return window != nullptr;
  }
  ~RealMonitor() {
    if (window) {
      SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, nullptr);
      SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 5000, nullptr);
    }
    if (pi.hProcess) {
      if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 9);
      CloseHandle(pi.hProcess);
    }
  }
};

// Waits until the log holds `bytes` bytes (or stops growing for 5 s); the time it took.
double until_logged(const std::string& path, LONGLONG bytes, double start_ms) {
  LONGLONG last = -1;
  double last_change = now_ms();
  for (;;) {
    LONGLONG size = file_size(path);
    if (size >= bytes) return now_ms() - start_ms;
    if (size != last) {
      last = size;
      last_change = now_ms();
    } else if (now_ms() - last_change > 5000) {
      return now_ms() - start_ms;
    }
    Sleep(1);
  }
}

LONGLONG expected_bytes(int count, const char* head) {
  LONGLONG total = 0;
  for (int i = 0; i < count; i++) total += (LONGLONG)line_for(i, head).size() + 1;  // + CR
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && !strcmp(argv[1], "--produce")) return produce(atoi(argv[2]));
  int count = argc > 1 ? atoi(argv[1]) : 20000;
  if (count <= 0 || count > 64000) count = 20000;  // addresses repeat after 64,000 lines

  PFW_InitializeGlobalData();
  HWND saved_monitor = PFW_GetGlobalMonitorHwnd();
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  std::string log = std::string(temp) + "bench_monitor_log.log";
  std::string saved_log = PFW_GetLogFileName();
  PFW_SetLogFileName(log.c_str());
  printf("monitor log benchmark: %d lines\n", count);

  // 1. The mailbox benchmark's consumer window.
  TrafficConsumer consumer;
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());
  double start = now_ms();
  ProgramRun bare =
      run_program(sibling("bench_monitor_log.exe") + " --produce " + std::to_string(count), "", &consumer, 600000);
  double consumer_ms = now_ms() - start;
  int consumer_faults = faults_in(consumer.lines, count, false) + (bare.exit_code != 0);
  double consumer_rate = count * 1000.0 / consumer_ms;
  printf("  consumer window (mailbox benchmark's):   %8.1f ms  %8.0f lines/s, %s (exit %d)\n", consumer_ms,
         consumer_rate, consumer_faults ? "NOT all received in order" : "all received in order", bare.exit_code);
  PFW_SetGlobalMonitorHwnd(nullptr);

  // 2. The real monitor, the same producer.
  int monitor_faults = 1;
  double monitor_rate = 0, monitor_interceptor_rate = 0;
  {
    DeleteFileA(log.c_str());
    RealMonitor monitor;
    if (!monitor.start()) {
      printf("  wayguard.exe did not start\n");
    } else {
      start = now_ms();
      ProgramRun fed =
          run_program(sibling("bench_monitor_log.exe") + " --produce " + std::to_string(count), "", nullptr, 600000);
      // The producer ends once the monitor has taken its last line; only the last write is left.
      double ms = until_logged(log, expected_bytes(count, ""), start);
      std::vector<std::string> lines = log_lines(log);
      monitor_faults = faults_in(lines, count, true) + (fed.exit_code != 0);
      monitor_rate = count * 1000.0 / ms;
      printf("  wayguard.exe, each line appended to the log file:\n");
      printf(
          "                                           %8.1f ms  %8.0f lines/s, %zu of %d in the file, %s (exit %d)\n",
          ms, monitor_rate, lines.size(), count, monitor_faults ? "NOT all in order" : "all in order", fed.exit_code);

      // 3. interceptor.exe, every attempt logged, into the real monitor.
      BenchLists lists;
      if (lists.ok()) {
        lists.add_wildcards();
        PFW_AddRule(lists.rules, 0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 1);
        int saved_mode = PFW_GetRunMode(), saved_allow = PFW_GetLogAllow();
        PFW_SetRunMode(PFW_MODE_FILTER);
        PFW_SetLogAllow(1);
        std::string input;
        for (int i = 0; i < count; i++) {
          char attempt[80];
          snprintf(attempt, sizeof attempt, "out tcp 80 10.0.%d.%d IEXPLORE.EXE\n", (i / 250) % 256, i % 250);
          input += attempt;
        }
        DeleteFileA(log.c_str());
        start = now_ms();
        ProgramRun decided = run_program(sibling("interceptor.exe"), input, nullptr, 600000);
        // The interceptor words its own lines, so their total size is not known ahead: once it
        // has ended, the monitor has taken every line; the file is done when it stops growing.
        LONGLONG size = file_size(log);
        double grown = now_ms();
        while (now_ms() - grown < 200) {
          Sleep(1);
          LONGLONG now = file_size(log);
          if (now != size) {
            size = now;
            grown = now_ms();
          }
        }
        std::vector<std::string> lines = log_lines(log);
        double ms = grown - start;
        int faults = (int)lines.size() != count || decided.exit_code != 0;
        for (int i = 0; i < (int)lines.size() && !faults; i++) {
          char want[64];
          snprintf(want, sizeof want, " TCP/80 10.0.%d.%d IEXPLORE.EXE allow", (i / 250) % 256, i % 250);
          if (lines[i].find(want) == std::string::npos) faults = 1;
        }
        monitor_faults += faults;
        monitor_interceptor_rate = count * 1000.0 / ms;
        printf("  interceptor.exe, every attempt logged, into wayguard.exe (rule lookup included):\n");
        printf(
            "                                           %8.1f ms  %8.0f lines/s, %zu of %d in the file, %s (exit %d)\n",
            ms, monitor_interceptor_rate, lines.size(), count, faults ? "NOT all in order" : "all in order",
            decided.exit_code);
        PFW_SetRunMode(saved_mode);
        PFW_SetLogAllow(saved_allow);
      }
    }
  }
  // 4. What a killed monitor loses: this process deposits lines as fast as the monitor takes
  //    them and kills it at once after a deposit; every line before that one was taken.
  double lost_ms = -1;
  int kill_lost = -1;
  {
    DeleteFileA(log.c_str());
    RealMonitor monitor;
    if (monitor.start()) {
      UINT message = RegisterWindowMessageA(PFW_PRIVATE_MESSAGE_NAME);
      const int n = count < 20000 ? count : 20000;
      start = now_ms();
      for (int i = 0; i < n; i++) {
        PFW_TRAFFIC record = {};
        std::string line = line_for(i);
        memcpy(record.text, line.c_str(), line.size() < sizeof record.text ? line.size() : sizeof record.text - 1);
        PFW_SetGlobalTraffic(record);
        PostMessageA(monitor.window, message, PFW_TRAFFIC_NOTIFY, 0);
      }
      double ms = now_ms() - start;
      TerminateProcess(monitor.pi.hProcess, 9);
      WaitForSingleObject(monitor.pi.hProcess, 10000);
      CloseHandle(monitor.pi.hProcess);
      monitor.pi = {};
      monitor.window = nullptr;
      // The last deposit's own line was not yet taken: the interceptor takes such a line back.
      int taken = n - 1, written = (int)log_lines(log).size();
      kill_lost = taken - written;
      double rate = n * 1000.0 / ms;
      lost_ms = kill_lost * 1000.0 / rate;
      printf("  wayguard.exe killed after taking %d lines (%.0f lines/s): %d lost, %.1f ms of lines\n", taken, rate,
             kill_lost, lost_ms);
      // The mailbox still holds the last record; nobody will take it now.
      PFW_TRAFFIC left;
      PFW_GetGlobalTraffic(&left);
    }
  }
  // What the monitor does per line besides handling the message: one append, measured here.
  {
    DeleteFileA(log.c_str());
    const int n = 2000;
    std::string line = line_for(12345);
    double t0 = now_ms();
    for (int i = 0; i < n; i++) wayguard::AppendToLog(log.c_str(), line);
    printf("  one append (open shared, write, close), in this process: %.1f us\n", (now_ms() - t0) * 1000.0 / n);
  }
  DeleteFileA(log.c_str());
  if (consumer_rate > 0 && monitor_rate > 0)
    printf("  the log file costs the monitor %.1f us per line over the consumer window\n",
           1000000.0 / monitor_rate - 1000000.0 / consumer_rate);
  bool lost = consumer_faults || monitor_faults;
  printf("goal: >= 3000 lines/s into wayguard.exe's log, none lost or reordered: %s (%.0f lines/s)\n",
         !lost && monitor_rate >= 3000.0 ? "met" : "NOT met", monitor_rate);
  printf("goal: a killed monitor loses at most the last 50 ms of lines: %s (%.1f ms)\n",
         kill_lost >= 0 && lost_ms <= 50.0 ? "met" : "NOT met", lost_ms);

  PFW_SetGlobalMonitorHwnd(saved_monitor);
  PFW_SetLogFileName(saved_log.c_str());
  return lost ? 1 : 0;
}
