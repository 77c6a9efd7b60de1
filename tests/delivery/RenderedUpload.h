// The delivery as the program runs it: RenderWork writes the page from its template and hands it
// to the delivery target (FTP unless told), which reports in the work's status cell. The target
// tests go through here so that the status texts they check are the ones the program shows.
#pragma once
#include "delivery/ftp/FtpUpload.h"
#include "render/RenderWork.h"
#include <atomic>
#include <memory>
#include <string>

namespace kw::test {

class TRenderedUpload {
public:
    explicit TRenderedUpload(std::shared_ptr<IDelivery> target = std::make_shared<TFtpDelivery>())
        : context_(works_, store_, linkState_, [](const std::string& key) { return "<" + key + ">"; }) {
        context_.Deliveries.push_back(std::move(target));
    }

    // The render's context, for what the program sets beside the targets.
    TRenderContext& Context() { return context_; }

    // The state the next renders show.
    void Publish(TBroadcastState state) { store_.Publish(std::make_shared<const TBroadcastState>(std::move(state))); }

    // Renders `work` with `config` (its template in FileIn, the page in FileOut) while the work
    // sits at `position` in the works list, as the render thread does; returns the status text.
    std::string Render(const TWorkPtr& work, const TWorkConfig& config, int position = 0) {
        work->SetConfig(config);
        works_.Clear();
        for (int i = 0; i < position; ++i)
            works_.Append(std::make_shared<TWorkData>());
        works_.Append(work);
        std::unique_ptr<TTemplateLines> lines;
        RenderWork(context_, *work, static_cast<int8_t>(position), lines);
        return work->Show.Text();
    }

private:
    TWorkList works_;
    TBroadcastStore store_;
    std::atomic<uint8_t> linkState_{2};
    TRenderContext context_;
};

} // namespace kw::test
