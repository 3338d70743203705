#include "common/file/linux/FfmpegInit.h"

extern "C"
{
#include <libavutil/log.h>
}

#include <mutex>

void InitializeFfmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}
