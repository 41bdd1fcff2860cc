#include "platform/driver/page_cache.h"

RenderedPage* PageCache::Get(const RenderSettings& settings, PageKind kind) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->kind == kind && it->settings == settings) {
            entries_.splice(entries_.begin(), entries_, it);
            return entries_.front().page.get();
        }
    }
    // Make room before drawing, so the old pages and the new one are never
    // all held at once beyond the budget.
    size_t needed = settings.format.Bytes();
    while (!entries_.empty() && bytes_ + needed > budget_) {
        bytes_ -= entries_.back().settings.format.Bytes();
        entries_.pop_back();
    }
    std::unique_ptr<RenderedPage> page = RenderPage(settings, kind);
    if (page == nullptr) return nullptr;
    ++renders_;
    bytes_ += needed;
    entries_.push_front(Entry{settings, kind, std::move(page)});
    return entries_.front().page.get();
}
