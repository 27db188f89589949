#include "platform/AvError.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>

namespace kova {

AvResult avResult(int code, const QLoggingCategory& category, const char* call) {
    if (code >= 0) {
        return AvResult::Ok;
    }
    AvResult result = AvResult::Failed;
    switch (code) {
        case AVERROR(EAGAIN):
            return AvResult::Again;
        case AVERROR_EOF:
            return AvResult::End;
        case AVERROR(ENOMEM):
            result = AvResult::NoMemory;
            break;
        case AVERROR_INVALIDDATA:
            result = AvResult::BadData;
            break;
        case AVERROR(EINVAL):
        case AVERROR(ENOSYS):
        case AVERROR_PATCHWELCOME:
        case AVERROR_DECODER_NOT_FOUND:
        case AVERROR_ENCODER_NOT_FOUND:
        case AVERROR_OPTION_NOT_FOUND:
            result = AvResult::Unsupported;
            break;
        default:
            break;
    }
    if (category.isDebugEnabled()) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(code, text, sizeof text);
        qCDebug(category, "%s: %s", call, text);
    }
    return result;
}

}  // namespace kova
