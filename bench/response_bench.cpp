// Responsiveness: how long WM_SIZE, WM_DESTROY and WM_CLOSE take to return
// while the sampler is in its spin and while it sleeps, at each interval. The
// messages are sent straight to the item window from its own thread, so the
// time is the handler's: the stop request and the wait for the sampler.
#include <cstdio>

#include "bench_output.h"
#include "histories.h"
#include "item_harness.h"
#include "load_sampler.h"
#include "settings.h"
#include "suites.h"
#include "test_host_window.h"

namespace {

struct Message {
    UINT id;
    const char* name;
};

const Message Messages[] = {
    {WM_SIZE, "wm_size"}, {WM_DESTROY, "wm_destroy"}, {WM_CLOSE, "wm_close"}};

int SamplesNow() {
    ScopedLock guard(HistoryLock);
    return CpuHistory ? CpuHistory->Count() : 0;
}

// Starts a fresh sampler and waits until it is `into` ms into its first spin
// (spin) or its first sleep (after the first publish).
bool Arrange(HWND item, bool inSpin, DWORD interval, DWORD into) {
    RestartSampling(item);
    if (!inSpin && !PumpUntilTrue([] { return SamplesNow() >= 1; }, interval * 3 + 1000)) {
        return false;
    }
    PumpFor(into);
    return SamplesNow() == (inSpin ? 0 : 1);
}

} // namespace

int RunResponse(const BenchOptions& options) {
    StartWatchdog(60);
    TestHostWindow host;
    HWND item = CreateSamplingItem(host.Handle());
    if (item == nullptr) {
        return 2;
    }
    for (int interval = 0; interval < IntervalCount; ++interval) {
        const DWORD ms = static_cast<DWORD>(IntervalMilliseconds[interval]);
        // Halfway into the period; a fifth of the way in the short run.
        const DWORD into = options.shortRun ? ms / 5 : ms / 2;
        ItemSettings.SampleInterval = interval;
        for (const bool inSpin : {true, false}) {
            for (const Message& message : Messages) {
                Heartbeat("response");
                const std::string name =
                    Format("response.%s_%s_%ums", message.name, inSpin ? "spin" : "sleep",
                           static_cast<unsigned>(ms));
                if (!Arrange(item, inSpin, ms, into)) {
                    ReportNotMeasured(name, "ms", "time to return", "<= 150",
                                      "the sampler was not in the wanted period when sent");
                    continue;
                }
                RECT client;
                GetClientRect(item, &client);
                const LARGE_INTEGER start = Now();
                SendMessageW(item, message.id, 0, MAKELPARAM(client.right, client.bottom));
                const double elapsed = SecondsSince(start) * 1000.0;
                const bool stopped = SamplerExited.load() == 1;
                ReportRow(name, elapsed, "ms", "time to return", "<= 150",
                          PassIf(elapsed <= 150.0 && stopped),
                          Format("%s %u ms into the %s; sampler %s on return", message.name,
                                 static_cast<unsigned>(into), inSpin ? "first spin" : "first sleep",
                                 stopped ? "had exited" : "was still running"));
            }
        }
    }
    DestroyWindow(item);
    return 0;
}
