// Batch store reordering of the current batch: moving images, exchanging two,
// and the book order. Only the order table changes (the pictures stay where
// they are), in one transaction; in the bound folder the files are renamed.
#include <algorithm>

#include "platform/base/service_thread.h"
#include "ver_2/batch_store.h"
#include "ver_2/batch_tables.h"
#include "ver_2/bound_folder.h"
#include "ver_2/error_info.h"
#include "ver_2/sqlite_helpers.h"

namespace ver_2 {

namespace {

constexpr char kPosMode[] = "pos";
constexpr char kIndexMode[] = "index";

// The indexes without repeats, first occurrences kept in order. An image
// named twice moves once.
std::vector<int32_t> WithoutRepeats(const std::vector<int32_t>& indexes) {
    std::vector<int32_t> unique;
    for (int32_t index : indexes) {
        if (std::find(unique.begin(), unique.end(), index) == unique.end()) unique.push_back(index);
    }
    return unique;
}

// Mode "pos": the moved images, in the given order, take the place of the
// gap target (0 before the first image, n after the last).
std::vector<ImageEntry> MovedToGap(std::vector<ImageEntry> order,
                                   const std::vector<ImageEntry>& moved, size_t gap) {
    for (const ImageEntry& entry : moved) {
        auto at = std::find_if(order.begin(), order.end(),
                               [&](const ImageEntry& e) { return e.id == entry.id; });
        size_t current = static_cast<size_t>(at - order.begin());
        order.erase(at);
        size_t place = current < gap ? gap - 1 : gap;
        order.insert(order.begin() + static_cast<std::ptrdiff_t>(place), entry);
        gap = place + 1;
    }
    return order;
}

// Mode "index": the moved images, in the given order, start at index target
// of the result, or follow the rest when target lies beyond it.
std::vector<ImageEntry> MovedToIndex(const std::vector<ImageEntry>& order,
                                     const std::vector<ImageEntry>& moved, size_t target) {
    std::vector<ImageEntry> rest;
    for (const ImageEntry& entry : order) {
        bool isMoved = std::any_of(moved.begin(), moved.end(),
                                   [&](const ImageEntry& m) { return m.id == entry.id; });
        if (!isMoved) rest.push_back(entry);
    }
    size_t place = std::min(target, rest.size());
    rest.insert(rest.begin() + static_cast<std::ptrdiff_t>(place), moved.begin(), moved.end());
    return rest;
}

// Even positions ascending, then odd positions descending: 0 1 2 3 4 5
// becomes 0 2 4 5 3 1.
std::vector<ImageEntry> BookOrder(const std::vector<ImageEntry>& order) {
    std::vector<ImageEntry> book;
    for (size_t i = 0; i < order.size(); i += 2)
        book.push_back(order[i]);
    for (size_t i = order.size(); i-- > 0;) {
        if (i % 2 == 1) book.push_back(order[i]);
    }
    return book;
}

}  // namespace

int BatchStore::MoveImage(const std::vector<int32_t>& indexes, const std::string& mode,
                          int32_t target, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    bool posMode = mode == kPosMode;
    if (!posMode && mode != kIndexMode) {
        return Refuse(error, "mode \"" + mode + "\" is not one of pos, index");
    }
    std::vector<ImageEntry> entries = GetImageEntries();
    size_t count = entries.size();
    if (CheckImageIndexList(indexes, count, error) != 0) return -1;
    // "pos" names a gap (0..count), "index" a place (0..count - 1).
    int64_t last = posMode ? static_cast<int64_t>(count) : static_cast<int64_t>(count) - 1;
    if (target < 0 || target > last) return Refuse(error, OutsideRange("target", target, 0, last));
    size_t place = static_cast<size_t>(target);
    std::vector<ImageEntry> moved;
    for (int32_t index : WithoutRepeats(indexes))
        moved.push_back(entries[index]);
    std::vector<ImageEntry> after =
        posMode ? MovedToGap(entries, moved, place) : MovedToIndex(entries, moved, place);
    return StoreOrder(entries, after, error);
}

int BatchStore::ExchangeImage(int32_t index1, int32_t index2, ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    std::vector<ImageEntry> entries = GetImageEntries();
    if (CheckImageIndex("image_index_1", index1, entries.size(), error) != 0 ||
        CheckImageIndex("image_index_2", index2, entries.size(), error) != 0) {
        return -1;
    }
    if (index1 == index2) {
        return Refuse(error, "image_index_1 and image_index_2 are both " + std::to_string(index1));
    }
    std::vector<ImageEntry> after = entries;
    std::swap(after[index1], after[index2]);
    return StoreOrder(entries, after, error);
}

int BatchStore::ImageBookSort(ErrorInfo& error) {
    SB_ASSERT_SERVICE_THREAD();
    if (db_ == nullptr) return Refuse(error, kNoDatabase);
    std::vector<ImageEntry> entries = GetImageEntries();
    return StoreOrder(entries, BookOrder(entries), error);
}

int BatchStore::StoreOrder(const std::vector<ImageEntry>& before,
                           const std::vector<ImageEntry>& after, ErrorInfo& error) {
    if (CheckBoundFolder(error) != 0) return -1;
    size_t first = 0;
    while (first < before.size() && before[first].id == after[first].id)
        ++first;
    std::vector<int32_t> ids;
    ids.reserve(after.size());
    for (const ImageEntry& entry : after)
        ids.push_back(entry.id);
    SqlTransaction transaction(db_);
    if (!transaction.begun() || !RewriteOrderFrom(db_, BatchTables(currBatchId_), ids, first) ||
        !transaction.Commit()) {
        return Refuse(error, SqlFailure(db_));
    }
    return MirrorChange([&](const BoundFolder& folder) { return folder.Reorder(before, after); },
                        error);
}

}  // namespace ver_2
