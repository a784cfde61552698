#include "platform/uDateWords.h"

#include "platform/uGbk.h"

namespace kadrel {

const TGbkDateWords& GbkDateWords() {
  static const TGbkDateWords words{GbkLiteral("年"), GbkLiteral("月"), GbkLiteral("日")};
  return words;
}

}  // namespace kadrel
