// The render thread.
#include "render/RecorderFileThread.h"
#include "render/RenderWork.h"

namespace kw {

void TRecorderFileThread::Execute() {
    try {
        RenderWork(context_, *work_, WorkIndex, Lines);
    } catch (...) {
        // Dropped without a status change: the next period tries again.
    }
    Lines.reset();
}

} // namespace kw
