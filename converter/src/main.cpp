// conv.dll: the converter the window program runs. See usageText() for the
// command line, README.md for the design.

#include "base/errors.hpp"
#include "cli/command_line.hpp"
#include "cli/output_ceiling.hpp"
#include "cli/stop_signals.hpp"
#include "cli/worker_process.hpp"
#include "confinement/confinement.hpp"
#include "conversion.hpp"
#include "output/output_place.hpp"
#include "source/source_file.hpp"
#include "source/source_media.hpp"

#include "ConverterStatus.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(TOVARO_SANITIZED)
#include <sanitizer/lsan_interface.h>
#endif

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

using tovaro::ConverterStatus;

// Runs before the libraries' initialisation and main, so it makes system
// calls itself: the C library and the sanitizers are not set up yet.
// - A standard descriptor closed at start would go to the next file opened
//   (the signal watcher's), and the progress would be written into that.
// - A stop signal this early waits, blocked, for the watcher instead of
//   ending the process without a word.
extern "C" void prepareProcess(int, char**, char**)
{
    for (int fd = 0; fd <= 2; ++fd)
        if (syscall(SYS_fcntl, fd, F_GETFD) < 0 && errno == EBADF)
            syscall(SYS_openat, AT_FDCWD, "/dev/null", O_RDWR);
    unsigned long stopMask = 0;
    for (const int stop : tovaro::kStopSignals)
        stopMask |= 1UL << (stop - 1);
    syscall(SYS_rt_sigprocmask, SIG_BLOCK, &stopMask, nullptr, sizeof stopMask);
}
[[gnu::section(".preinit_array"), gnu::used]] void (*const prepareProcessFirst)(int, char**, char**) = prepareProcess;

int exitStatus(ConverterStatus status) { return static_cast<int>(status); }

void printError(const std::string& message)
{
    std::fprintf(stderr, "%s%s\n", tovaro::kConverterMessagePrefix, message.c_str());
}

// The output is complete, but the source was not all there.
void printWarning(const conv::ConversionOutcome& outcome)
{
    char seconds[96];
    std::snprintf(seconds, sizeof seconds, "%.1f s", outcome.secondsConverted);
    if (outcome.cutShort())
        std::snprintf(seconds, sizeof seconds, "%.1f s of the %.1f s it claims", outcome.secondsConverted,
                      outcome.secondsStated);
    std::string what = "warning: the source is damaged or cut short; converted what could be decoded (";
    what += seconds;
    what += ", " + std::to_string(outcome.damagedPacketsSkipped) + " damaged packets skipped";
    if (outcome.concealedErrors > 0)
        what += ", " + std::to_string(outcome.concealedErrors) + " decoding errors patched over";
    if (outcome.readingFailed)
        what += ", reading stopped at an error";
    printError(what + ")");
}

void printVersion()
{
    std::printf("%s %s (H.263 + AMR-NB 3GP converter; libavformat %s, libavcodec %s)\n", tovaro::kConverterFileName,
                CONV_VERSION, AV_STRINGIFY(LIBAVFORMAT_VERSION), AV_STRINGIFY(LIBAVCODEC_VERSION));
}

// Prints the line of the failure being handled and gives its exit status.
int reportFailure()
{
    try {
        throw;
    } catch (const conv::UsageError& error) {
        printError(std::string(error.what()) + " (try --help)");
        return exitStatus(ConverterStatus::UsageError);
    } catch (const conv::ConversionError& error) {
        printError(error.what());
        return exitStatus(error.kind());
    } catch (const std::exception& error) {
        printError(std::string("conversion failed: ") + error.what());
        return exitStatus(ConverterStatus::Failed);
    }
}

// The confined worker: converts the open source into the open working file,
// and notes the length it wrote for the supervisor's check.
int convertInWorker(const conv::ConversionRequest& request, int source, int output, double& secondsWritten)
{
    std::atomic<bool> stopRequested{false};
    conv::StopSignals stopSignals(stopRequested);
    try {
        conv::ProgressReporter progress(stderr);
        progress.stopWhenUnread(&stopRequested);
        conv::SourceFile input(source, &stopRequested);
        conv::coreCount();  // before confinement hides where it is read
#if defined(TOVARO_SANITIZED)
        // The test build's leak checker stops the process with ptrace and
        // reads /proc at exit, which a confined process may not: it checks
        // here instead. Tests leak-check conversions they run in-process.
        __lsan_do_leak_check();
#endif
        if (const auto note = conv::confine())
            printError(*note);
        stopSignals.startWatching();
        conv::RunTuning tuning;
        tuning.sourceOpened = [&request](double statedSeconds) { conv::holdOutputToCeiling(request, statedSeconds); };
        const conv::ConversionOutcome outcome =
            conv::convertOpened(request, input, output, progress, stopRequested, tuning);
        for (const std::string& notice : outcome.notices)
            printError(notice);
        if (outcome.sourceDamaged())
            printWarning(outcome);
        secondsWritten = outcome.secondsConverted;
        return exitStatus(ConverterStatus::Written);
    } catch (...) {
        return reportFailure();
    }
}

}  // namespace

// The supervisor: checks the command line, opens the source and makes the
// working file, has a confined worker convert, and puts the result in place.
// It never hands a byte of the source to FFmpeg.
int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    av_log_set_level(AV_LOG_QUIET);

    try {
        const conv::ParsedCommand command = conv::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        switch (command.kind) {
        case conv::CommandKind::Help:
            std::fputs(conv::usageText().c_str(), stdout);
            return exitStatus(ConverterStatus::Written);
        case conv::CommandKind::Version: printVersion(); return exitStatus(ConverterStatus::Written);
        case conv::CommandKind::Convert: break;
        }
        const conv::ConversionRequest& request = command.request;
        conv::checkRequest(request);
        const int source = conv::openSourceFile(request.inputPath);
        conv::OutputPlace place(request.outputPath, request.replaceOutput);
        const int output = place.descriptor();
        const conv::WorkerEnd end = conv::runInWorker({source, output}, [&](double& secondsWritten) {
            return convertInWorker(request, source, output, secondsWritten);
        });
        close(source);
        if (end.status == exitStatus(ConverterStatus::Written))
            place.placeResult(end.secondsWritten);
        return end.status;
    } catch (...) {
        return reportFailure();
    }
}
