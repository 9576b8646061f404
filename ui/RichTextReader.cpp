#include "ui/RichTextReader.h"

#include "platform/CodePages.h"

#include <QColor>
#include <QHash>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

enum class Destination { Text, FontTable, ColorTable, Skip };

struct State {
  Destination destination = Destination::Text;
  // character properties
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  int vertical = 0;  // 0 none, 1 superscript, 2 subscript
  int fontSize = 0;  // half-points; 0: the view's own size
  int font = -1;     // font table number; -1: the view's own font
  int color = 0;     // colour table index; 0: automatic
  int highlight = 0; // colour table index; 0: none
  int unicodeSkip = 1;
  // paragraph properties
  Qt::Alignment alignment = Qt::AlignLeft;
  int leftIndent = 0; // twips
  int rightIndent = 0;
  int firstIndent = 0;
  int spaceBefore = 0;
  int spaceAfter = 0;

  void resetCharacter() {
    bold = italic = underline = strike = false;
    vertical = fontSize = color = highlight = 0;
    font = -1;
  }
  void resetParagraph() {
    alignment = Qt::AlignLeft;
    leftIndent = rightIndent = firstIndent = spaceBefore = spaceAfter = 0;
  }
};

// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
const char16_t cp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// Words whose group holds nothing to show.
bool isSkippedDestination(QByteArrayView word) {
  static const QByteArrayView words[] = {
      "info",      "stylesheet", "pict",          "header",       "headerl",
      "headerr",   "headerf",    "footer",        "footerl",      "footerr",
      "footerf",   "footnote",   "fldinst",       "object",       "objdata",
      "themedata", "datastore",  "latentstyles",  "listtable",    "listoverridetable",
      "rsidtbl",   "generator",  "filetbl",       "revtbl",       "xmlnstbl",
      "template",  "nonshppict", "annotation",    "atnid",        "atnauthor",
      "bkmkstart", "bkmkend",    "docvar",        "userprops",    "xe",
      "tc",        "txe",        "pntxta",        "pntxtb",       "colorschememapping",
      "mmathPr",   "pgdsctbl",   "wgrffmtfilter", "passwordhash", "fchars",
      "lchars"};
  return std::any_of(std::begin(words), std::end(words), [&](QByteArrayView w) { return w == word; });
}

class Reader {
public:
  Reader(const QByteArray &bytes, QTextDocument *document) : m_in(bytes), m_cursor(document) {}

  void run();

private:
  State &state() { return m_stack.back(); }
  void controlWord(QByteArrayView word, bool hasParam, int param);
  void controlSymbol(char c);
  void textByte(char c);
  void textChar(QChar c);
  void flushBytes();
  void flushText();
  void paragraph();
  QTextCharFormat charFormat() const;
  QTextBlockFormat blockFormat() const;
  QString decode(const QByteArray &bytes);

  const QByteArray &m_in;
  qsizetype m_pos = 0;
  QTextCursor m_cursor;
  std::vector<State> m_stack{State{}};
  int m_overflow = 0;  // groups open beyond maxDepth
  int m_skipChars = 0; // fallback characters still to skip after \uN
  int m_codePage = 1252;
  QByteArray m_pendingBytes; // \'hh and 8-bit bytes, decoded together (multi-byte code pages)
  QString m_pendingText;
  QTextCharFormat m_pendingFormat;
  QHash<int, QString> m_fonts;
  int m_definingFont = -1;
  QString m_fontName;
  QList<QColor> m_colors; // invalid: automatic
  int m_red = -1, m_green = -1, m_blue = -1;
  bool m_started = false;
};

void Reader::run() {
  m_cursor.document()->clear();
  m_cursor = QTextCursor(m_cursor.document());
  const qsizetype size = m_in.size();
  while (m_pos < size) {
    const char c = m_in.at(m_pos++);
    if (m_overflow > 0) {
      // Inside groups too deep to follow: only their braces count.
      if (c == '{')
        ++m_overflow;
      else if (c == '}')
        --m_overflow;
      else if (c == '\\' && m_pos < size)
        ++m_pos; // an escaped brace is not a brace
      continue;
    }
    if (c == '{') {
      flushBytes();
      if (int(m_stack.size()) >= RichTextReader::maxDepth) {
        m_overflow = 1;
        continue;
      }
      m_stack.push_back(m_stack.back());
      m_started = true;
      m_skipChars = 0;
    } else if (c == '}') {
      flushBytes();
      if (state().destination == Destination::FontTable && m_definingFont >= 0 &&
          !m_fontName.trimmed().isEmpty()) {
        m_fonts.insert(m_definingFont, m_fontName.trimmed());
        m_fontName.clear();
      }
      m_skipChars = 0;
      if (m_stack.size() > 1)
        m_stack.pop_back();
      if (m_stack.size() == 1 && m_started)
        break; // the document's group has ended; anything after it is not part of it
    } else if (c == '\\') {
      if (m_pos >= size)
        break;
      const char next = m_in.at(m_pos);
      if (std::isalpha(static_cast<unsigned char>(next))) {
        const qsizetype begin = m_pos;
        while (m_pos < size && std::isalpha(static_cast<unsigned char>(m_in.at(m_pos))))
          ++m_pos;
        const QByteArrayView word(m_in.constData() + begin, m_pos - begin);
        bool negative = false;
        if (m_pos < size && m_in.at(m_pos) == '-' && m_pos + 1 < size &&
            std::isdigit(static_cast<unsigned char>(m_in.at(m_pos + 1)))) {
          negative = true;
          ++m_pos;
        }
        bool hasParam = false;
        qint64 value = 0;
        while (m_pos < size && std::isdigit(static_cast<unsigned char>(m_in.at(m_pos)))) {
          hasParam = true;
          value = std::min<qint64>(value * 10 + (m_in.at(m_pos) - '0'), qint64(1) << 40);
          ++m_pos;
        }
        if (m_pos < size && m_in.at(m_pos) == ' ')
          ++m_pos; // the delimiter belongs to the word
        value = std::clamp<qint64>(negative ? -value : value, -2147483647, 2147483647);
        controlWord(word, hasParam, int(value));
      } else {
        ++m_pos;
        controlSymbol(next);
      }
    } else if (c == '\r' || c == '\n') {
      // line breaks in the file are not part of the text
    } else {
      textByte(c);
    }
  }
  flushBytes();
  flushText();
  m_cursor.setBlockFormat(blockFormat());
}

void Reader::controlSymbol(char c) {
  switch (c) {
  case '\\':
  case '{':
  case '}':
    textByte(c);
    break;
  case '~':
    textChar(QChar(0x00A0));
    break;
  case '_':
    textChar(QChar(0x2011));
    break;
  case '-':
    textChar(QChar(0x00AD));
    break;
  case '*':
    state().destination = Destination::Skip;
    break;
  case '\r':
  case '\n':
    paragraph();
    break;
  case '\'': {
    const auto hexValue = [](char h) {
      if (h >= '0' && h <= '9')
        return h - '0';
      if (h >= 'a' && h <= 'f')
        return h - 'a' + 10;
      if (h >= 'A' && h <= 'F')
        return h - 'A' + 10;
      return -1;
    };
    int value = 0;
    int digits = 0;
    while (digits < 2 && m_pos < m_in.size() && hexValue(m_in.at(m_pos)) >= 0) {
      value = value * 16 + hexValue(m_in.at(m_pos++));
      ++digits;
    }
    if (digits > 0)
      textByte(char(value));
    break;
  }
  default:
    break; // other symbols (index entries, formula characters) show nothing
  }
}

void Reader::controlWord(QByteArrayView word, bool hasParam, int param) {
  const int on = hasParam ? param : 1;
  State &s = state();
  m_skipChars = word == "u" ? m_skipChars : 0; // a control word ends a \uN fallback
  flushBytes();

  if (word == "fonttbl") {
    s.destination = Destination::FontTable;
  } else if (word == "colortbl") {
    s.destination = Destination::ColorTable;
  } else if (isSkippedDestination(word)) {
    s.destination = Destination::Skip;
  } else if (s.destination == Destination::FontTable) {
    if (word == "f") {
      m_definingFont = param;
      m_fontName.clear();
    }
  } else if (s.destination == Destination::ColorTable) {
    const int v = std::clamp(param, 0, 255);
    if (word == "red")
      m_red = v;
    else if (word == "green")
      m_green = v;
    else if (word == "blue")
      m_blue = v;
  } else if (word == "ansicpg") {
    m_codePage = param;
  } else if (word == "ansi") {
    m_codePage = 1252;
  } else if (word == "mac") {
    m_codePage = 10000;
  } else if (word == "pc") {
    m_codePage = 437;
  } else if (word == "pca") {
    m_codePage = 850;
  } else if (word == "uc") {
    s.unicodeSkip = std::clamp(param, 0, 16);
  } else if (word == "u") {
    if (!hasParam)
      return;
    const int code = param < 0 ? param + 65536 : param;
    if (s.destination == Destination::Text && code > 0 && code < 65536)
      textChar(QChar(char16_t(code)));
    m_skipChars = s.unicodeSkip;
  } else if (s.destination == Destination::Skip) {
    // nothing in a skipped group changes what is shown
  } else if (word == "par" || word == "sect" || word == "page" || word == "row") {
    paragraph();
  } else if (word == "line") {
    textChar(QChar(QChar::LineSeparator));
  } else if (word == "tab" || word == "cell") {
    textChar(QChar(u'\t'));
  } else if (word == "bullet") {
    textChar(QChar(0x2022));
  } else if (word == "endash") {
    textChar(QChar(0x2013));
  } else if (word == "emdash") {
    textChar(QChar(0x2014));
  } else if (word == "lquote") {
    textChar(QChar(0x2018));
  } else if (word == "rquote") {
    textChar(QChar(0x2019));
  } else if (word == "ldblquote") {
    textChar(QChar(0x201C));
  } else if (word == "rdblquote") {
    textChar(QChar(0x201D));
  } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
    textChar(QChar(u' '));
  } else if (word == "pard") {
    s.resetParagraph();
  } else if (word == "plain") {
    s.resetCharacter();
  } else if (word == "b") {
    s.bold = on != 0;
  } else if (word == "i") {
    s.italic = on != 0;
  } else if (word == "ul" || word == "uld" || word == "uldb" || word == "ulw" || word == "uldash" ||
             word == "ulth") {
    s.underline = on != 0;
  } else if (word == "ulnone") {
    s.underline = false;
  } else if (word == "strike" || word == "striked") {
    s.strike = on != 0;
  } else if (word == "super") {
    s.vertical = 1;
  } else if (word == "sub") {
    s.vertical = 2;
  } else if (word == "nosupersub") {
    s.vertical = 0;
  } else if (word == "fs") {
    s.fontSize = hasParam ? std::clamp(param, 2, 800) : 24;
  } else if (word == "f") {
    s.font = param;
  } else if (word == "cf") {
    s.color = param;
  } else if (word == "highlight" || word == "cb") {
    s.highlight = param;
  } else if (word == "ql") {
    s.alignment = Qt::AlignLeft;
  } else if (word == "qr") {
    s.alignment = Qt::AlignRight;
  } else if (word == "qc") {
    s.alignment = Qt::AlignHCenter;
  } else if (word == "qj") {
    s.alignment = Qt::AlignJustify;
  } else if (word == "li") {
    s.leftIndent = param;
  } else if (word == "ri") {
    s.rightIndent = param;
  } else if (word == "fi") {
    s.firstIndent = param;
  } else if (word == "sb") {
    s.spaceBefore = param;
  } else if (word == "sa") {
    s.spaceAfter = param;
  } else if (word == "bin") {
    // raw binary data of the given length follows; it is never text
    m_pos += std::clamp<qsizetype>(param, 0, m_in.size() - m_pos);
  }
}

void Reader::textByte(char c) {
  if (m_skipChars > 0) {
    --m_skipChars;
    return;
  }
  switch (state().destination) {
  case Destination::Skip:
    return;
  case Destination::FontTable:
    if (c == ';') {
      if (m_definingFont >= 0)
        m_fonts.insert(m_definingFont, m_fontName.trimmed());
      m_fontName.clear();
    } else {
      m_fontName += QChar::fromLatin1(c);
    }
    return;
  case Destination::ColorTable:
    if (c == ';') {
      m_colors.append(m_red < 0 && m_green < 0 && m_blue < 0
                          ? QColor()
                          : QColor(std::max(m_red, 0), std::max(m_green, 0), std::max(m_blue, 0)));
      m_red = m_green = m_blue = -1;
    }
    return;
  case Destination::Text:
    break;
  }
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20 && byte != '\t')
    return;
  m_pendingBytes.append(c);
}

void Reader::textChar(QChar c) {
  if (state().destination != Destination::Text)
    return;
  flushBytes();
  const QTextCharFormat format = charFormat();
  if (!m_pendingText.isEmpty() && format != m_pendingFormat)
    flushText();
  m_pendingFormat = format;
  m_pendingText += c;
}

QString Reader::decode(const QByteArray &bytes) {
  if (m_codePage == 1252) {
    QString out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      out += b >= 0x80 && b < 0xA0 ? QChar(cp1252High[b - 0x80]) : QChar(b);
    }
    return out;
  }
  if (m_codePage == 65001)
    return QString::fromUtf8(bytes);
  return decodeCodePage(quint32(m_codePage), bytes).value_or(QString::fromLatin1(bytes));
}

void Reader::flushBytes() {
  if (m_pendingBytes.isEmpty())
    return;
  const QString text = decode(m_pendingBytes);
  m_pendingBytes.clear();
  const QTextCharFormat format = charFormat();
  if (!m_pendingText.isEmpty() && format != m_pendingFormat)
    flushText();
  m_pendingFormat = format;
  m_pendingText += text;
}

void Reader::flushText() {
  if (m_pendingText.isEmpty())
    return;
  m_cursor.insertText(m_pendingText, m_pendingFormat);
  m_pendingText.clear();
}

void Reader::paragraph() {
  if (state().destination != Destination::Text)
    return;
  flushBytes();
  flushText();
  m_cursor.setBlockFormat(blockFormat());
  m_cursor.insertBlock();
}

QTextCharFormat Reader::charFormat() const {
  const State &s = m_stack.back();
  QTextCharFormat f;
  f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(s.italic);
  f.setFontUnderline(s.underline);
  f.setFontStrikeOut(s.strike);
  if (s.vertical == 1)
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  else if (s.vertical == 2)
    f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  if (s.fontSize > 0)
    f.setFontPointSize(s.fontSize / 2.0);
  if (const auto it = m_fonts.constFind(s.font); it != m_fonts.constEnd() && !it->isEmpty())
    f.setFontFamilies({*it});
  if (s.color > 0 && s.color < m_colors.size() && m_colors.at(s.color).isValid())
    f.setForeground(m_colors.at(s.color));
  if (s.highlight > 0 && s.highlight < m_colors.size() && m_colors.at(s.highlight).isValid())
    f.setBackground(m_colors.at(s.highlight));
  return f;
}

QTextBlockFormat Reader::blockFormat() const {
  const State &s = m_stack.back();
  // Twips (1/20 point) to points, kept within what a page can hold.
  const auto points = [](int twips) { return std::clamp(twips, -20000, 20000) / 20.0; };
  QTextBlockFormat f;
  f.setAlignment(s.alignment);
  f.setLeftMargin(std::max(0.0, points(s.leftIndent)));
  f.setRightMargin(std::max(0.0, points(s.rightIndent)));
  f.setTextIndent(points(s.firstIndent));
  f.setTopMargin(std::max(0.0, points(s.spaceBefore)));
  f.setBottomMargin(std::max(0.0, points(s.spaceAfter)));
  return f;
}

} // namespace

bool RichTextReader::isRichText(const QByteArray &bytes) {
  return bytes.startsWith("{\\rtf");
}

void RichTextReader::read(const QByteArray &bytes, QTextDocument *document) {
  Reader(bytes, document).run();
}
