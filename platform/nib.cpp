// The interface file format: text in, checked window descriptions out.
//
// An interface file describes windows by name, each with its title, its size and its
// controls. It is line-oriented text:
//
//   # The settings window.
//   nib 1
//   window "PluginSettings"
//     title "Settings"
//     size 320 128
//     checkbox 'cbox' 3 "Colour mode" 20 20 40 300
//     button 'bttn' 5 "Done" 88 220 108 300
//   end
//
// - The first statement is "nib 1": the format and its version. No other version exists.
// - "window NAME" opens a description, "end" closes it; windows do not nest, and every
//   other statement belongs inside one. Inside: "title TEXT" (optional, at most once), "size
//   WIDTH HEIGHT" (exactly once, each 1 to 4096), and any number (up to 32) of controls:
//   "checkbox" or "button", then SIGNATURE NUMBER TITLE TOP LEFT BOTTOM RIGHT.
// - Tokens are separated by spaces or tabs (a carriage return before the newline counts as a
//   space). A '#' at the start of a token starts a comment to the end of the line. Strings
//   are in double quotes, without '"' or control characters inside; names are 1 to 63 bytes,
//   titles 0 to 127. A signature is four printable ASCII characters in single quotes.
//   Numbers are decimal with an optional '-': a control number is any 32-bit signed value,
//   frame coordinates lie inside the window (0 <= top < bottom <= height, 0 <= left < right
//   <= width).
// - Window names are unique in a file, control IDs (signature and number) in a window.
// - A file holds at most 65536 bytes and 16 windows, a line at most 512 bytes; no NUL bytes.
//
// Anything else is malformed. The parser walks the text once with bounded lengths and checked
// numbers; on any fault it frees what it made and answers nibMalformedErr.
#include <cstring>

#include "toolkit_p.h"

namespace {

enum { kNibLineMax = 512, kNibTokensMax = 12 };

enum TokenKind { kWordToken, kStringToken, kCodeToken };

struct Token {
  TokenKind kind;
  const char* text;
  size_t length;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Splits a line into at most kNibTokensMax tokens. False for an unterminated quote, a control
// byte, quoted text that touches another token, or too many tokens.
bool Tokenize(const char* line, size_t length, Token* tokens, int* count) {
  int n = 0;
  size_t i = 0;
  while (i < length) {
    char c = line[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (c == '#') break;
    if (n == kNibTokensMax) return false;
    Token& token = tokens[n++];
    if (c == '"' || c == '\'') {
      size_t start = ++i;
      while (i < length && line[i] != c) {
        if (IsControlByte(line[i])) return false;
        ++i;
      }
      if (i == length) return false;
      token = {c == '"' ? kStringToken : kCodeToken, line + start, i - start};
      ++i;
    } else {
      size_t start = i;
      while (i < length && !IsSpace(line[i]) && line[i] != '"' && line[i] != '\'') {
        if (IsControlByte(line[i])) return false;
        ++i;
      }
      token = {kWordToken, line + start, i - start};
    }
    if (i < length && !IsSpace(line[i])) return false;
  }
  *count = n;
  return true;
}

bool IsWord(const Token& token, const char* word) {
  return token.kind == kWordToken && token.length == std::strlen(word) &&
         std::memcmp(token.text, word, token.length) == 0;
}

// A decimal number within [min, max]. At most 11 characters, so the sum cannot overflow.
bool ReadNumber(const Token& token, long long min, long long max, long long* out) {
  if (token.kind != kWordToken || token.length == 0 || token.length > 11) return false;
  size_t i = token.text[0] == '-' ? 1 : 0;
  if (i == token.length) return false;
  long long value = 0;
  for (; i < token.length; ++i) {
    char c = token.text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (token.text[0] == '-') value = -value;
  if (value < min || value > max) return false;
  *out = value;
  return true;
}

// Copies a string token of minLength to maxLength bytes into a buffer of maxLength + 1.
bool ReadString(const Token& token, size_t minLength, size_t maxLength, char* out) {
  if (token.kind != kStringToken || token.length < minLength || token.length > maxLength) return false;
  std::memcpy(out, token.text, token.length);
  out[token.length] = '\0';
  return true;
}

bool ReadSignature(const Token& token, OSType* out) {
  if (token.kind != kCodeToken || token.length != 4) return false;
  for (size_t i = 0; i < 4; ++i) {
    if (static_cast<unsigned char>(token.text[i]) > 0x7E) return false;
  }
  *out = LUMETRA_FOURCC(token.text[0], token.text[1], token.text[2], token.text[3]);
  return true;
}

struct Parser {
  LumetraNib* nib;
  NibWindow** tail;   // where the next window is linked
  NibWindow* open;    // the window being described, or null
  int windowCount;
  bool sawHeader;
  bool sawTitle;
  bool sawSize;
};

bool ReadControl(const Token* t, int count, NibWindow* window) {
  if (count != 8 || window->controlCount == kNibMaxControls) return false;
  NibControl& control = window->controls[window->controlCount];
  control.kind = IsWord(t[0], "checkbox") ? kLumetraCheckBoxControl : kLumetraButtonControl;
  long long number = 0;
  long long edges[4] = {};
  if (!ReadSignature(t[1], &control.id.signature) || !ReadNumber(t[2], INT32_MIN, INT32_MAX, &number) ||
      !ReadString(t[3], 0, kNibTitleMax, control.title)) {
    return false;
  }
  for (int k = 0; k < 4; ++k) {
    if (!ReadNumber(t[4 + k], 0, kNibWindowSizeMax, &edges[k])) return false;
  }
  control.id.id = static_cast<SInt32>(number);
  control.frame = {static_cast<SInt16>(edges[0]), static_cast<SInt16>(edges[1]), static_cast<SInt16>(edges[2]),
                   static_cast<SInt16>(edges[3])};
  if (control.frame.top >= control.frame.bottom || control.frame.left >= control.frame.right) return false;
  for (ItemCount k = 0; k < window->controlCount; ++k) {
    const ControlID& other = window->controls[k].id;
    if (other.signature == control.id.signature && other.id == control.id.id) return false;
  }
  ++window->controlCount;
  return true;
}

// The size is known once the window is closed, so the frames are checked against it here.
bool CloseWindow(Parser& p) {
  NibWindow* window = p.open;
  if (!p.sawSize) return false;
  for (ItemCount k = 0; k < window->controlCount; ++k) {
    const Rect& frame = window->controls[k].frame;
    if (frame.bottom > window->height || frame.right > window->width) return false;
  }
  p.open = nullptr;
  return true;
}

OSStatus OpenWindow(Parser& p, const Token* t, int count) {
  if (count != 2 || p.windowCount == kNibMaxWindows) return nibMalformedErr;
  char name[kNibNameMax + 1];
  if (!ReadString(t[1], 1, kNibNameMax, name)) return nibMalformedErr;
  for (const NibWindow* w = p.nib->windows; w; w = w->next) {
    if (std::strcmp(w->name, name) == 0) return nibMalformedErr;
  }
  auto* window = static_cast<NibWindow*>(ToolkitAllocate(sizeof(NibWindow)));
  if (!window) return memFullErr;
  std::memcpy(window->name, name, sizeof name);
  *p.tail = window;
  p.tail = &window->next;
  p.open = window;
  ++p.windowCount;
  p.sawTitle = false;
  p.sawSize = false;
  return noErr;
}

// One statement (a non-empty line).
OSStatus ReadStatement(Parser& p, const Token* t, int count) {
  if (!p.sawHeader) {
    if (count != 2 || !IsWord(t[0], "nib") || !IsWord(t[1], "1")) return nibMalformedErr;
    p.sawHeader = true;
    return noErr;
  }
  if (IsWord(t[0], "window")) {
    if (p.open) return nibMalformedErr;
    return OpenWindow(p, t, count);
  }
  NibWindow* window = p.open;
  if (!window) return nibMalformedErr;
  if (IsWord(t[0], "end")) return count == 1 && CloseWindow(p) ? OSStatus{noErr} : OSStatus{nibMalformedErr};
  if (IsWord(t[0], "title")) {
    if (count != 2 || p.sawTitle || !ReadString(t[1], 0, kNibTitleMax, window->title)) return nibMalformedErr;
    p.sawTitle = true;
    return noErr;
  }
  if (IsWord(t[0], "size")) {
    long long width = 0;
    long long height = 0;
    if (count != 3 || p.sawSize || !ReadNumber(t[1], 1, kNibWindowSizeMax, &width) ||
        !ReadNumber(t[2], 1, kNibWindowSizeMax, &height)) {
      return nibMalformedErr;
    }
    window->width = static_cast<SInt16>(width);
    window->height = static_cast<SInt16>(height);
    p.sawSize = true;
    return noErr;
  }
  if (IsWord(t[0], "checkbox") || IsWord(t[0], "button")) {
    return ReadControl(t, count, window) ? OSStatus{noErr} : OSStatus{nibMalformedErr};
  }
  return nibMalformedErr;
}

}  // namespace

OSStatus ParseNib(const char* text, size_t length, LumetraNib** out) {
  *out = nullptr;
  if (length > kNibFileMax || std::memchr(text, '\0', length)) return nibMalformedErr;
  auto* nib = static_cast<LumetraNib*>(ToolkitAllocate(sizeof(LumetraNib)));
  if (!nib) return memFullErr;
  Parser p = {nib, &nib->windows, nullptr, 0, false, false, false};
  OSStatus status = noErr;
  size_t start = 0;
  while (status == noErr && start < length) {
    const char* newline = static_cast<const char*>(std::memchr(text + start, '\n', length - start));
    size_t end = newline ? static_cast<size_t>(newline - text) : length;
    Token tokens[kNibTokensMax];
    int count = 0;
    if (end - start > kNibLineMax || !Tokenize(text + start, end - start, tokens, &count)) {
      status = nibMalformedErr;
    } else if (count > 0) {
      status = ReadStatement(p, tokens, count);
    }
    start = end + 1;
  }
  if (status == noErr && (!p.sawHeader || p.open)) status = nibMalformedErr;
  if (status != noErr) {
    FreeNib(nib);
    return status;
  }
  *out = nib;
  return noErr;
}

void FreeNib(LumetraNib* nib) {
  if (!nib) return;
  for (NibWindow* w = nib->windows; w;) {
    NibWindow* next = w->next;
    ToolkitRelease(w);
    w = next;
  }
  ToolkitRelease(nib);
}
