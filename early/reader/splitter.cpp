#include "early/reader/splitter.h"

#include "early/reader/split_walk.h"
#include "early/reader/tag_reader.h"

#include <string>

namespace tagweave {
namespace {

/// Collects the records into a list.
class list_collector : public mark_consumer {
 public:
  explicit list_collector(mark_list& marks) : marks_(marks) {}
  void take(const mark_view& rec) override {
    marks_.push_back(owned_record(rec));
  }

 private:
  mark_list& marks_;
};

}  // namespace

split_status split_document(std::string& source, mark_consumer& consumer) {
  return split_document_to(source, consumer);
}

split_result split_document(std::string_view source) {
  std::string working(source);
  split_result result;
  list_collector collector(result.marks);
  result.status = split_document(working, collector);
  return result;
}

}  // namespace tagweave
