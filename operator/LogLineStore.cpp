#include "operator/LogLineStore.h"

#include <algorithm>
#include <cstring>

namespace varnetik {

char* LogLineStore::Reserve(size_t length, Place& place) {
  if (chunks_.empty() || lastChunkSize_ - lastChunkUsed_ < length) {
    // The rest of the old chunk stays unused: a line is never split, so Line() can hand out one view.
    lastChunkSize_ = std::max(kChunkBytes, length);
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(lastChunkSize_));
    lastChunkUsed_ = 0;
  }
  place.chunk = static_cast<uint32_t>(chunks_.size() - 1);
  place.offset = static_cast<uint32_t>(lastChunkUsed_);
  place.length = static_cast<uint32_t>(length);
  char* at = chunks_.back().get() + lastChunkUsed_;
  lastChunkUsed_ += length;
  return at;
}

void LogLineStore::Append(std::string_view utf8Line) {
  // A line is at most a frame dump of a few hundred bytes; one of 4 GiB and more is cut rather than wrapped.
  const size_t length = std::min<size_t>(utf8Line.size(), UINT32_MAX);
  if (count_ % kPlacesPerBlock == 0 && count_ / kPlacesPerBlock == static_cast<int64_t>(places_.size())) {
    places_.push_back(std::make_unique_for_overwrite<Place[]>(kPlacesPerBlock));
  }
  Place& place = places_[static_cast<size_t>(count_ / kPlacesPerBlock)][static_cast<size_t>(count_ % kPlacesPerBlock)];
  char* at = Reserve(length, place);
  if (length > 0) std::memcpy(at, utf8Line.data(), length);
  ++count_;
}

void LogLineStore::Clear() {
  chunks_.clear();
  places_.clear();
  lastChunkSize_ = 0;
  lastChunkUsed_ = 0;
  count_ = 0;
}

std::string_view LogLineStore::Line(int64_t index) const {
  if (index < 0 || index >= count_) return {};
  const Place& place = places_[static_cast<size_t>(index / kPlacesPerBlock)][static_cast<size_t>(index % kPlacesPerBlock)];
  return std::string_view(chunks_[place.chunk].get() + place.offset, place.length);
}

}  // namespace varnetik
