// Wiring the tokenizer to the tree builder.
#include "html5/tree/parse.h"

#include "html5/tokenizer/tokenizer.h"
#include "html5/tree/tree_builder.h"

namespace tagweave::html5 {

document parse_document(std::string input) {
  document doc(std::move(input));
  tree_builder builder(doc);
  tokenizer tok(doc.source(), builder);
  builder.attach(&tok);
  tok.run();
  return doc;
}

}  // namespace tagweave::html5
