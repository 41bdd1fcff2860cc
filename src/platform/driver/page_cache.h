// Rendered pages of one scanner, kept for reuse across the pages and scans
// that share render settings, so a page's content is drawn once and then
// only its number box is repainted.
//
// Entries are keyed by render settings and page kind and held within a byte
// budget: the least recently used are dropped first, but the page just asked
// for always stays, however large. Not locked: one scan at a time uses it
// (the scanner's scans run one after another), and the scanner owns it.
#pragma once

#include <cstddef>
#include <list>
#include <memory>

#include "platform/driver/page_renderer.h"

class PageCache {
  public:
    static constexpr size_t kDefaultBudget = size_t{128} << 20;

    explicit PageCache(size_t budgetBytes = kDefaultBudget) : budget_(budgetBytes) {}

    // The page for the settings and kind, rendered on first use; null when
    // its pixels cannot be allocated. Valid until the next call.
    RenderedPage* Get(const RenderSettings& settings, PageKind kind);

    size_t Entries() const { return entries_.size(); }
    // How many pages have been rendered so far.
    int Renders() const { return renders_; }

  private:
    struct Entry {
        RenderSettings settings;
        PageKind kind;
        std::unique_ptr<RenderedPage> page;
    };

    size_t budget_;
    size_t bytes_ = 0;
    int renders_ = 0;
    std::list<Entry> entries_;  // most recently used first
};
