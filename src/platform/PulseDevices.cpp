#include "platform/PulseDevices.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>

#include <memory>

namespace kova {

namespace {

// A stranger's server could announce devices without end; a desk has a handful.
constexpr std::size_t kMaxDevices = 64;

struct Query {
    PulseDevices devices;
    int pending = 0;  // the two list replies still to come
    bool failed = false;

    void add(std::vector<PulseDevice>& list, const char* name, const char* description) {
        if (name == nullptr || list.size() >= kMaxDevices) {
            return;
        }
        const QString text = QString::fromUtf8(description != nullptr ? description : "");
        list.push_back({name, text.isEmpty() ? QString::fromUtf8(name) : text});
    }
};

void onSource(pa_context*, const pa_source_info* info, int eol, void* data) {
    auto* q = static_cast<Query*>(data);
    if (eol != 0) {
        q->failed = q->failed || eol < 0;
        --q->pending;
    } else if (info != nullptr && info->monitor_of_sink == PA_INVALID_INDEX) {
        q->add(q->devices.sources, info->name, info->description);
    }
}

void onSink(pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* q = static_cast<Query*>(data);
    if (eol != 0) {
        q->failed = q->failed || eol < 0;
        --q->pending;
    } else if (info != nullptr) {
        q->add(q->devices.sinks, info->name, info->description);
    }
}

void onState(pa_context* context, void* data) {
    auto* q = static_cast<Query*>(data);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY:
            q->pending = 2;
            for (pa_operation* op : {pa_context_get_source_info_list(context, onSource, q),
                                     pa_context_get_sink_info_list(context, onSink, q)}) {
                if (op == nullptr) {
                    q->failed = true;
                } else {
                    pa_operation_unref(op);
                }
            }
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            q->failed = true;
            break;
        default:
            break;
    }
}

}  // namespace

std::optional<PulseDevices> pulseDevices(std::chrono::milliseconds wait) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + wait;
    const std::unique_ptr<pa_mainloop, decltype(&pa_mainloop_free)> loop(pa_mainloop_new(),
                                                                         pa_mainloop_free);
    if (!loop) {
        return std::nullopt;
    }
    const std::unique_ptr<pa_context, decltype(&pa_context_unref)> context(
        pa_context_new(pa_mainloop_get_api(loop.get()), "KOVA"), pa_context_unref);
    if (!context) {
        return std::nullopt;
    }
    Query q;
    q.pending = -1;  // not connected yet
    pa_context_set_state_callback(context.get(), onState, &q);
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        return std::nullopt;
    }
    while (!q.failed && q.pending != 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0 ||
            pa_mainloop_prepare(loop.get(), static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0) {
            q.failed = true;
        }
    }
    pa_context_set_state_callback(context.get(), nullptr, nullptr);
    pa_context_disconnect(context.get());
    if (q.failed) {
        return std::nullopt;
    }
    return std::move(q.devices);
}

}  // namespace kova
