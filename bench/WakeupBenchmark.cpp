// What paced frames cost on this machine before any camera work: the thread wake-ups alone.
// N cameras deliver frames at a fixed rate to a consumer thread each (a mutex, a condition
// variable and a counter per camera), in one of three designs:
//   timer per camera   every camera has a thread that sleeps until its next frame is due, then
//                      hands the frame over (the producer's design: one acquisition thread per
//                      stream, waiting in the frame grabber's grab);
//   pacing thread      one thread sleeps until the earliest frame is due and wakes every camera
//                      thread due, which hands the frame over;
//   direct delivery    one thread sleeps until the earliest frame is due and hands over every
//                      frame due itself: no camera thread at all.
// With --tick-us the pacing thread wakes only on a grid of that period and releases every frame
// due by then, so that the cameras due within one tick share one wake-up of it.
// Each run prints one row of a Markdown table: CPU time of the process (getrusage) over the
// window, per frame, and context switches per frame.
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <utility>
#include <vector>

#include "bench/ProcessUsage.h"

namespace quarvo_bench {
namespace {

using Clock = std::chrono::steady_clock;

enum class Design { TimerPerCamera, PacingThread, DirectDelivery };

// A camera's hand-over to its consumer, and the camera thread's own wake-up in the pacing-thread
// design.
struct Camera {
    std::mutex mutex;
    std::condition_variable delivered;
    uint64_t frames = 0;
    uint64_t taken = 0;
    std::condition_variable released;
    bool due = false;

    void Deliver() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++frames;
        }
        delivered.notify_one();
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            due = true;
        }
        released.notify_one();
    }
};

class Run {
public:
    Run(uint32_t cameras, uint32_t frameRate, Clock::duration tick)
        : m_cameras(cameras),
          m_tick(tick),
          m_interval(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / frameRate))),
          m_start(Clock::now()) {}

    void Start(Design design) {
        for (size_t i = 0; i < m_cameras.size(); ++i) {
            m_threads.emplace_back([this, i] { Consume(m_cameras[i]); });
        }
        if (design == Design::TimerPerCamera) {
            for (size_t i = 0; i < m_cameras.size(); ++i) {
                m_threads.emplace_back([this, i] { PaceOne(i); });
            }
            return;
        }
        if (design == Design::PacingThread) {
            for (size_t i = 0; i < m_cameras.size(); ++i) {
                m_threads.emplace_back([this, i] { AwaitRelease(m_cameras[i]); });
            }
        }
        const bool direct = design == Design::DirectDelivery;
        m_threads.emplace_back([this, direct] { PaceAll(direct); });
    }

    uint64_t Frames() {
        uint64_t frames = 0;
        for (Camera& camera : m_cameras) {
            std::lock_guard<std::mutex> lock(camera.mutex);
            frames += camera.frames;
        }
        return frames;
    }

    void Stop() {
        m_running = false;
        for (Camera& camera : m_cameras) {
            {
                std::lock_guard<std::mutex> lock(camera.mutex);
            }
            camera.delivered.notify_all();
            camera.released.notify_all();
        }
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

private:
    // Camera i's first frame is due i/N of an interval after the start, as cameras started one
    // after another are.
    Clock::time_point FirstDue(size_t i) const {
        return m_start + m_interval * static_cast<int64_t>(i) / static_cast<int64_t>(m_cameras.size());
    }

    // The first tick at or after when.
    Clock::time_point OnTheGrid(Clock::time_point when) const {
        if (m_tick == Clock::duration::zero()) {
            return when;
        }
        const Clock::duration since = when - m_start;
        return m_start + (since + m_tick - Clock::duration(1)) / m_tick * m_tick;
    }

    void Consume(Camera& camera) {
        std::unique_lock<std::mutex> lock(camera.mutex);
        while (m_running) {
            camera.delivered.wait(lock, [&] { return camera.frames != camera.taken || !m_running; });
            camera.taken = camera.frames;
        }
    }

    void PaceOne(size_t i) {
        for (Clock::time_point due = FirstDue(i); m_running; due += m_interval) {
            std::this_thread::sleep_until(due);
            m_cameras[i].Deliver();
        }
    }

    void AwaitRelease(Camera& camera) {
        std::unique_lock<std::mutex> lock(camera.mutex);
        while (m_running) {
            camera.released.wait(lock, [&] { return camera.due || !m_running; });
            camera.due = false;
            lock.unlock();
            camera.Deliver();
            lock.lock();
        }
    }

    void PaceAll(bool direct) {
        using Entry = std::pair<Clock::time_point, size_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<>> schedule;
        for (size_t i = 0; i < m_cameras.size(); ++i) {
            schedule.emplace(FirstDue(i), i);
        }
        while (m_running) {
            std::this_thread::sleep_until(OnTheGrid(schedule.top().first));
            const Clock::time_point now = Clock::now();
            while (schedule.top().first <= now) {
                const auto [due, i] = schedule.top();
                schedule.pop();
                direct ? m_cameras[i].Deliver() : m_cameras[i].Release();
                schedule.emplace(due + m_interval, i);
            }
        }
    }

    std::vector<Camera> m_cameras;
    const Clock::duration m_tick;
    const Clock::duration m_interval;
    const Clock::time_point m_start;
    std::atomic<bool> m_running{true};
    std::vector<std::thread> m_threads;
};

struct Options {
    uint32_t cameras = 256;
    uint32_t frameRate = 30;
    uint32_t tickUs = 0;
    double seconds = 5.0;
};

void Measure(Design design, const char* name, const Options& options) {
    Run run(options.cameras, options.frameRate, std::chrono::microseconds(options.tickUs));
    run.Start(design);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const ProcessUsage before = CurrentProcessUsage();
    const uint64_t framesBefore = run.Frames();
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    const ProcessUsage after = CurrentProcessUsage();
    const double frames = static_cast<double>(run.Frames() - framesBefore);
    run.Stop();
    const double cpu = after.cpuSeconds - before.cpuSeconds;
    std::printf("| %s | %u | %u | %u us | %.2f cores | %.1f us | %.2f |\n", name, options.cameras, options.frameRate,
                design == Design::TimerPerCamera ? 0 : options.tickUs, cpu / options.seconds, 1e6 * cpu / frames,
                (after.switches - before.switches) / frames);
}

}  // namespace
}  // namespace quarvo_bench

int main(int argc, char** argv) {
    CLI::App app{"CPU cost of the thread wake-ups of paced frames, in three designs, without a camera"};
    quarvo_bench::Options options;
    app.add_option("--cameras", options.cameras, "cameras")->check(CLI::Range(1, 1024));
    app.add_option("--fps", options.frameRate, "frames per second of every camera")->check(CLI::Range(1, 1000));
    app.add_option("--tick-us", options.tickUs, "period of the pacing thread's wake-ups (0: at every due time)")
        ->check(CLI::Range(0, 100000));
    app.add_option("--seconds", options.seconds, "length of each measuring window")->check(CLI::Range(0.5, 600.0));
    CLI11_PARSE(app, argc, argv);
    using quarvo_bench::Design;
    std::printf("| design | cameras | fps | tick | CPU, whole process | CPU per frame | context switches per frame |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    quarvo_bench::Measure(Design::TimerPerCamera, "timer per camera", options);
    quarvo_bench::Measure(Design::PacingThread, "pacing thread", options);
    quarvo_bench::Measure(Design::DirectDelivery, "direct delivery", options);
    return 0;
}
