// The upload as the program runs it: RenderWork writes the page from its template and hands it
// to the FTP delivery, which reports in the work's status cell. The FTP tests go through here
// so that the status texts they check are the ones the program shows.
#pragma once
#include "config/ftp/FtpUpload.h"
#include "render/RenderWork.h"
#include <atomic>
#include <memory>
#include <string>

namespace kw::test {

class TRenderedUpload {
public:
    TRenderedUpload() : context_(works_, store_, linkState_, [](const std::string& key) { return "<" + key + ">"; }) {
        context_.Deliveries.push_back(std::make_shared<TFtpDelivery>());
    }

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
