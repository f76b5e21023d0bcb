#pragma once
// Reading and writing the headless records under their owner's lock. An owner
// (the recorded world, the buttons' record) is a struct with a `mutex` beside
// its fields (its own or a base's); each of these takes the lock for one
// look-up.
#include <mutex>
#include <optional>

namespace platform::headless {

// What `work` makes of `owner`, under its lock.
template <typename Owner, typename Work>
auto withLock(Owner& owner, Work work) {
  std::lock_guard lock(owner.mutex);
  return work(owner);
}

// A copy of one of `owner`'s fields.
template <typename Owner, typename Holder, typename Field>
Field copyOf(Owner& owner, Field Holder::*field) {
  return withLock(owner, [&](const Owner& o) { return o.*field; });
}

// What `use` makes of the record `key` in one of `owner`'s maps, given a
// pointer to it (null without one), under the lock.
template <typename Owner, typename Holder, typename Map, typename Use>
auto withRecord(Owner& owner, Map Holder::*records, const typename Map::key_type& key, Use use) {
  return withLock(owner, [&](Owner& o) {
    auto& map = o.*records;
    const auto it = map.find(key);
    return use(it == map.end() ? nullptr : &it->second);
  });
}

// A copy of the record `key`; none without one.
template <typename Owner, typename Holder, typename Map>
std::optional<typename Map::mapped_type> recordCopy(Owner& owner, Map Holder::*records,
                                                    const typename Map::key_type& key) {
  using Record = typename Map::mapped_type;
  return withRecord(owner, records, key, [](const Record* record) {
    return record ? std::optional<Record>(*record) : std::nullopt;
  });
}

// A copy of one field of the record `key`; the field's empty value without one.
template <typename Owner, typename Holder, typename Map, typename Field>
Field fieldOf(Owner& owner, Map Holder::*records, const typename Map::key_type& key,
              Field Map::mapped_type::*field) {
  return withRecord(owner, records, key, [&](const typename Map::mapped_type* record) {
    return record ? record->*field : Field{};
  });
}

// Changes the record `key`, when there is one.
template <typename Owner, typename Holder, typename Map, typename Change>
void changeRecord(Owner& owner, Map Holder::*records, const typename Map::key_type& key,
                  Change change) {
  withRecord(owner, records, key, [&](typename Map::mapped_type* record) {
    if (record) change(*record);
  });
}

}  // namespace platform::headless
