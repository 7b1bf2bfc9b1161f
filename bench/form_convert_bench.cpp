// The conversion window against the headless run on the same data, in one process. The
// conversion benchmark's source (make_examples --bench: a dBase table of RECORDS records) is
// converted by its description bench_dbf.cnv, round after round, once by a bare ConversionRun loop
// as noxconv drives it and once by TFormConvert on the offscreen platform (Convert pressed, the Qt
// event loop running the window's timer). Prints both rates in wall-clock and processor time and
// their ratios (target: the window reaches at least 0.9 of the headless rate in processor time,
// which other programs on a busy machine cannot stretch). Then prints the worst latency of a
// repaint request and of a click on Cancel that arrive from another thread at random moments while
// the window converts, as the window system's and the user's do, also in the middle of a batch
// (target: 100 ms of the GUI thread's processor time; the wall-clock worst is printed beside it).
//
//   form_convert_bench [RECORDS [ROUNDS]]      defaults 1000000 and 5; medians over the rounds

#include <pthread.h>
#include <time.h>

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QPaintEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/workspace.h"
#include "desktop/form_convert.h"
#include "forms/application.h"
#include "forms/modal.h"
#include "formula/named_window.h"
#include "host/host_formats.h"

namespace {

using nox::convert::ConversionInputs;
using nox::convert::ConversionRun;
using nox::convert::RunState;
using nox::convert::Workspace;
using nox::forms::CreateForm;
using nox::forms::FormPtr;
using nox::forms::TFormConvert;
using Clock = std::chrono::steady_clock;

constexpr const char* kDescription = "bench_dbf.cnv";
constexpr double kRateTarget = 0.9;
constexpr double kLatencyTargetMs = 100;
constexpr int kCancelRuns = 5;

double Seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}
double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// Wall-clock and processor seconds of a stretch of work. The processor time is what other
// programs on a busy machine cannot stretch; both rates and ratios are reported.
struct Duration {
  double wall = 0;
  double cpu = 0;
};

class Stopwatch {
 public:
  Duration Elapsed() const {
    return {Seconds(Clock::now() - wall_),
            static_cast<double>(std::clock() - cpu_) / static_cast<double>(CLOCKS_PER_SEC)};
  }

 private:
  Clock::time_point wall_ = Clock::now();
  std::clock_t cpu_ = std::clock();
};

// The GUI thread's processor time in milliseconds, readable from any thread: the part of a
// latency that the window itself spent, which a busy machine cannot stretch.
class GuiThreadClock {
 public:
  GuiThreadClock() {  // constructed in the GUI thread
    if (pthread_getcpuclockid(pthread_self(), &clock_) != 0)
      throw std::runtime_error("no processor clock for the GUI thread");
  }
  double Milliseconds() const {
    timespec now{};
    clock_gettime(clock_, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
  }

 private:
  clockid_t clock_{};
};

// From a request's arrival to its effect: wall clock and the GUI thread's processor time.
struct Latency {
  double wall = 0;
  double cpu = 0;
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  std::string text = one;
  text.append(" ").append(five).append(" ").append(fifteen);
  return text;
}

long ParseCount(const char* text, const char* what) {
  const std::string_view view(text);
  long value = 0;
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  if (error != std::errc() || end != view.data() + view.size() || value <= 0) {
    std::string message = what;
    message.append(" must be a positive whole number, not '").append(view).append("'");
    throw std::invalid_argument(message);
  }
  return value;
}

// Writes the source, the targets and the descriptions with the conversion benchmark's own
// generator, so both benchmarks convert the same data.
void Generate(const QString& directory, long records) {
  const int status =
      QProcess::execute(QStringLiteral(NOX_MAKE_EXAMPLES),
                        {QStringLiteral("--bench"), directory, QString::number(records)});
  if (status != 0) throw std::runtime_error("make_examples --bench failed");
}

// Both drivers run on one workspace, one after the other: a run holds the tables' error handlers
// for its life, so there is never more than one.
class Bench {
 public:
  Bench() {
    if (!workspace_.Load(kDescription, true) || !workspace_.LoadOk)
      throw std::runtime_error("the description bench_dbf.cnv does not load");
  }

  // The bare loop of the command-line runner. Gives the time from Start to completion.
  Duration Headless() {
    nox::formula::TableWindow formConvert("FormConvert", {});
    ConversionRun run(Inputs());
    if (!run.Show()) throw std::runtime_error("headless: the description is not usable");
    const Stopwatch stopwatch;
    run.Start();
    while (run.IsRunning())
      run.RunBatch();
    const Duration duration = stopwatch.Elapsed();
    Check(run, "headless");
    return duration;
  }

  // The window, shown, Convert pressed, its event loop running until the run stops. Gives the
  // time from the click to completion.
  Duration Window() {
    FormPtr<TFormConvert> form = ShownForm();
    const Stopwatch stopwatch;
    RunToEnd(*form);
    const Duration duration = stopwatch.Elapsed();
    Check(*form->Run(), "window");
    return duration;
  }

  // A full window run while repaint requests come from another thread, each as soon as the last
  // one was painted plus a random pause. Gives the latencies from request to paint event.
  std::vector<Latency> RepaintLatencies() {
    FormPtr<TFormConvert> form = ShownForm();
    PaintWatch watch(*form, guiClock_);
    std::vector<Latency> latencies;
    RunToEnd(
        *form, [&] { latencies = watch.Probe(); }, [&] { watch.Stop(); });
    Check(*form->Run(), "window with repaint requests");
    return latencies;
  }

  // Window runs cancelled by a click on Cancel at a random moment before `beforeSeconds`. Gives
  // the latencies from the click's arrival to a cancelled run with its timer stopped.
  std::vector<Latency> CancelLatencies(double beforeSeconds) {
    std::vector<Latency> latencies;
    std::mt19937 random(std::random_device{}());
    const int latestMs = std::max(2, static_cast<int>(beforeSeconds * 1000));
    for (int i = 0; i < kCancelRuns; ++i) {
      FormPtr<TFormConvert> form = ShownForm();
      auto* cancel = form->findChild<QPushButton*>(QStringLiteral("BBCancel"));
      auto* timer = form->findChild<QTimer*>(QStringLiteral("TimerConv"));
      const auto delay =
          std::chrono::milliseconds(std::uniform_int_distribution<int>(1, latestMs)(random));
      std::optional<Latency> latency;
      bool stopped = true;
      RunToEnd(*form, [&] {
        std::this_thread::sleep_for(delay);
        const Clock::time_point sent = Clock::now();
        const double sentCpu = guiClock_.Milliseconds();
        QMetaObject::invokeMethod(
            form.get(),
            [&, sent, sentCpu] {
              if (!form->Run()->IsRunning()) return;  // completed first: no sample
              cancel->click();
              latency =
                  Latency{Milliseconds(Clock::now() - sent), guiClock_.Milliseconds() - sentCpu};
              stopped = form->Run()->State() == RunState::Cancelled && !timer->isActive();
            },
            Qt::QueuedConnection);
      });
      if (!stopped) throw std::runtime_error("Cancel did not stop the run");
      if (latency) latencies.push_back(*latency);
    }
    return latencies;
  }

 private:
  // Catches repaint requests answered: paint events of the whole window.
  class PaintWatch : public QObject {
   public:
    PaintWatch(QWidget& form, const GuiThreadClock& guiClock) : form_(form), guiClock_(guiClock) {
      form_.installEventFilter(this);
    }
    ~PaintWatch() override { form_.removeEventFilter(this); }

    // Runs in the prober thread until Stop: pause, request, wait for the paint.
    std::vector<Latency> Probe() {
      std::mt19937 random(std::random_device{}());
      std::uniform_int_distribution<int> pauseMs(1, 20);
      std::vector<Latency> latencies;
      std::unique_lock lock(mutex_);
      for (;;) {
        if (changed_.wait_for(lock, std::chrono::milliseconds(pauseMs(random)),
                              [this] { return stop_; }))
          break;
        sent_ = Clock::now();
        sentCpu_ = guiClock_.Milliseconds();
        QMetaObject::invokeMethod(
            &form_, [this] { form_.update(); }, Qt::QueuedConnection);
        changed_.wait(lock, [this] { return stop_ || !sent_; });
        if (stop_) break;
        latencies.push_back(latency_);
      }
      return latencies;
    }
    void Stop() {
      std::lock_guard lock(mutex_);
      stop_ = true;
      changed_.notify_all();
    }

   protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (watched == &form_ && event->type() == QEvent::Paint &&
          static_cast<QPaintEvent*>(event)->rect().contains(form_.rect())) {
        std::lock_guard lock(mutex_);
        if (sent_) {
          latency_ = {Milliseconds(Clock::now() - *sent_), guiClock_.Milliseconds() - sentCpu_};
          sent_.reset();
          changed_.notify_all();
        }
      }
      return false;
    }

   private:
    QWidget& form_;
    const GuiThreadClock& guiClock_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Clock::time_point> sent_;
    double sentCpu_ = 0;
    Latency latency_;
    bool stop_ = false;
  };

  ConversionInputs Inputs() {
    ConversionInputs inputs = nox::convert::WorkspaceInputs(workspace_);
    inputs.messageName = kDescription;
    inputs.window = &mainForm_;
    return inputs;
  }

  FormPtr<TFormConvert> ShownForm() {
    nox::forms::FormConvertHooks hooks;
    hooks.inputs = [this] { return Inputs(); };
    hooks.descriptionName = [] { return std::string(kDescription); };
    FormPtr<TFormConvert> form = CreateForm<TFormConvert>(std::move(hooks));
    form->show();
    QCoreApplication::processEvents();  // the first paint is not the run's
    return form;
  }

  // Presses Convert and runs the event loop until the run stops. The prober, when given, runs in
  // another thread meanwhile; `stopProber` tells it that the run has stopped.
  void RunToEnd(TFormConvert& form, const std::function<void()>& prober = {},
                const std::function<void()>& stopProber = {}) {
    QEventLoop loop;
    const auto stopped = [&] {
      if (!form.Run()->IsRunning()) loop.quit();
    };
    // Connected after the window's own handler: sees the run after the tick's batch.
    QObject::connect(form.findChild<QTimer*>(QStringLiteral("TimerConv")), &QTimer::timeout, &loop,
                     stopped);
    QObject::connect(form.findChild<QPushButton*>(QStringLiteral("BBCancel")),
                     &QPushButton::clicked, &loop, stopped);
    form.BBConvertClick();
    std::thread thread;
    if (prober) thread = std::thread(prober);
    if (form.Run()->IsRunning()) loop.exec();
    if (stopProber) stopProber();
    if (thread.joinable()) thread.join();
    QCoreApplication::processEvents();  // requests that arrived after the end
  }

  void Check(const ConversionRun& run, const char* driver) {
    if (run.State() != RunState::Complete) {
      std::string text = driver;
      text.append(": the run did not complete: ").append(run.LastError());
      throw std::runtime_error(text);
    }
    // Every run converts the same records; the target is cleared before each.
    const Counts counts{run.ProcessedCount(), workspace_.TableTarget.QuickRecordCount()};
    if (first_ && (counts.processed != first_->processed || counts.written != first_->written)) {
      std::string text = driver;
      text.append(": converted ")
          .append(std::to_string(counts.processed))
          .append(" records into ")
          .append(std::to_string(counts.written))
          .append(", the first run ")
          .append(std::to_string(first_->processed))
          .append(" into ")
          .append(std::to_string(first_->written));
      throw std::runtime_error(text);
    }
    first_ = counts;
  }

  Workspace workspace_;
  // Formulas find the tables through the main window's name, as in the desktop program.
  nox::formula::TableWindow mainForm_{"MainForm",
                                      {&workspace_.TableSource, &workspace_.TableTarget,
                                       &workspace_.TableKeyViol, &workspace_.TablKursVal}};
  struct Counts {
    std::size_t processed = 0;
    std::size_t written = 0;
  };
  std::optional<Counts> first_;
  GuiThreadClock guiClock_;
};

void PrintRate(const char* label, long records, double wall, double cpu) {
  const auto count = static_cast<double>(records);
  std::printf("%-28s %9.0f records/s wall (%.3f s), %9.0f records/s processor (%.3f s)\n", label,
              count / wall, wall, count / cpu, cpu);
}

void PrintLatencies(const char* label, const std::vector<Latency>& latencies) {
  if (latencies.empty()) {
    std::printf("%-28s no samples (the runs ended first)\n", label);
    return;
  }
  std::vector<double> wall, cpu;
  for (const Latency& latency : latencies) {
    wall.push_back(latency.wall);
    cpu.push_back(latency.cpu);
  }
  const double worstWall = *std::max_element(wall.begin(), wall.end());
  const double worstCpu = *std::max_element(cpu.begin(), cpu.end());
  std::printf(
      "%-28s worst %7.2f ms wall, %6.2f ms processor; median %5.2f ms wall; %zu samples "
      "(target: %.0f ms) %s\n",
      label, worstWall, worstCpu, Median(wall), latencies.size(), kLatencyTargetMs,
      worstCpu <= kLatencyTargetMs ? "met" : "MISSED");
}

int Run(long records, long rounds) {
  QTemporaryDir directory;
  if (!directory.isValid()) throw std::runtime_error("no temporary directory");
  std::printf("== generating %ld source records; load average %s\n", records,
              LoadAverage().c_str());
  Generate(directory.path(), records);
  // The descriptions name their tables without a directory.
  std::filesystem::current_path(directory.path().toStdString());

  Bench bench;
  // Alternating rounds: a change in the machine's load hits both drivers alike.
  std::vector<double> headlessWall, headlessCpu, windowWall, windowCpu, wallRatios, cpuRatios;
  for (long round = 1; round <= rounds; ++round) {
    const Duration headless = bench.Headless();
    const Duration window = bench.Window();
    headlessWall.push_back(headless.wall);
    headlessCpu.push_back(headless.cpu);
    windowWall.push_back(window.wall);
    windowCpu.push_back(window.cpu);
    wallRatios.push_back(headless.wall / window.wall);
    cpuRatios.push_back(headless.cpu / window.cpu);
    std::printf("round %ld: headless %.3f s (processor %.3f s), window %.3f s (processor %.3f s)\n",
                round, headless.wall, headless.cpu, window.wall, window.cpu);
  }
  std::printf("medians of %ld rounds:\n", rounds);
  PrintRate("headless ConversionRun", records, Median(headlessWall), Median(headlessCpu));
  PrintRate("TFormConvert (offscreen)", records, Median(windowWall), Median(windowCpu));
  const double cpuRatio = Median(cpuRatios);
  std::printf("window / headless: %.2f wall, %.2f processor (target: at least %.2f) %s\n",
              Median(wallRatios), cpuRatio, kRateTarget,
              cpuRatio >= kRateTarget ? "met" : "MISSED");

  PrintLatencies("repaint request -> paint", bench.RepaintLatencies());
  // Within the first half of the fastest window run, so that the load may change and the clicks
  // still come while the run goes.
  PrintLatencies(
      "Cancel click -> cancelled",
      bench.CancelLatencies(*std::min_element(windowWall.begin(), windowWall.end()) / 2));
  std::printf("load average at the end: %s\n", LoadAverage().c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The offscreen platform: no display needed, the same on every machine.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  nox::forms::NoxApplication application(argc, argv);  // takes its own options out of argv
  // An error dialog would wait for a user who is not there: close it and fail the benchmark.
  bool dialogShown = false;
  nox::forms::ScopedDialogTestHook answer([&](QDialog& dialog) -> QAbstractButton* {
    std::cerr << "form_convert_bench: a dialog was shown: " << dialog.windowTitle().toStdString()
              << "\n";
    dialogShown = true;
    return nullptr;
  });
  nox::host::HostFormats::SetShortDateFormat(nox::host::DateFormat::Parse("dd.mm.yyyy"));
  nox::host::HostFormats::SetDecimalSeparator('.');
  try {
    if (argc > 3) {
      std::cerr << "Usage: form_convert_bench [RECORDS [ROUNDS]]\n";
      return 2;
    }
    const long records = argc > 1 ? ParseCount(argv[1], "RECORDS") : 1'000'000;
    const long rounds = argc > 2 ? ParseCount(argv[2], "ROUNDS") : 5;
    const int status = Run(records, rounds);
    return dialogShown ? 1 : status;
  } catch (const std::exception& error) {
    std::cerr << "form_convert_bench: " << error.what() << "\n";
    return 1;
  }
}
