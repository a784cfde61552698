// GBK text in the windows: the one place where stored bytes become QString
// and typed QString text becomes stored bytes.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace kadrel {

// Bytes that do not start a valid GBK character show as U+FFFD, so damaged
// data stays visible instead of vanishing.
QString GbkToQString(std::string_view gbk);

// False when the text holds a character GBK cannot encode. A broken UTF-16
// pair counts as one: it would otherwise reach the encoder as "?".
bool QStringToGbk(const QString& text, std::string& gbk);

}  // namespace kadrel
