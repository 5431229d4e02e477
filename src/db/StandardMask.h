#pragma once
// The standard (picture) mask: one item per position of the edited text,
// literals that stay put and placeholders that take one kind of character.
#include <QString>

#include <memory>
#include <vector>

namespace kestrum {

enum TkvStandardMaskCase { smcNone, smcUpper, smcLower };

class TkvStandardMaskCustomItem {
public:
    virtual ~TkvStandardMaskCustomItem() = default;
    //! ch may come back converted (case control).
    virtual bool Check(QChar &ch) const = 0;
    virtual bool IsLiteral() const { return false; }
    virtual bool Optional() const { return false; }
};

class TkvStandardMaskLiteralItem : public TkvStandardMaskCustomItem {
public:
    explicit TkvStandardMaskLiteralItem(QChar ch) : FChar(ch) {}
    bool Check(QChar &ch) const override { return ch == FChar; }
    bool IsLiteral() const override { return true; }
    QChar Char() const { return FChar; }

private:
    QChar FChar;
};

//! Base of the placeholders: the optional flag and the case control.
class TkvStandardMaskManyItem : public TkvStandardMaskCustomItem {
public:
    TkvStandardMaskManyItem(bool optional, TkvStandardMaskCase caseControl)
        : FOptional(optional), FCase(caseControl)
    {
    }
    bool Check(QChar &ch) const override;
    bool Optional() const override { return FOptional; }

protected:
    virtual bool Accepts(QChar ch) const = 0;

private:
    bool FOptional;
    TkvStandardMaskCase FCase;
};

class TkvStandardMaskNumericItem : public TkvStandardMaskManyItem {
public:
    using TkvStandardMaskManyItem::TkvStandardMaskManyItem;

protected:
    bool Accepts(QChar ch) const override { return ch >= u'0' && ch <= u'9'; }
};

class TkvStandardMaskNumericSymbolItem : public TkvStandardMaskManyItem {
public:
    using TkvStandardMaskManyItem::TkvStandardMaskManyItem;

protected:
    bool Accepts(QChar ch) const override { return (ch >= u'0' && ch <= u'9') || ch == u'+' || ch == u'-'; }
};

class TkvStandardMaskAlphaItem : public TkvStandardMaskManyItem {
public:
    using TkvStandardMaskManyItem::TkvStandardMaskManyItem;

protected:
    bool Accepts(QChar ch) const override { return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z'); }
};

class TkvStandardMaskAlphaNumericItem : public TkvStandardMaskManyItem {
public:
    using TkvStandardMaskManyItem::TkvStandardMaskManyItem;

protected:
    bool Accepts(QChar ch) const override
    {
        return (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z');
    }
};

class TkvStandardMaskASCIIItem : public TkvStandardMaskManyItem {
public:
    using TkvStandardMaskManyItem::TkvStandardMaskManyItem;

protected:
    bool Accepts(QChar) const override { return true; }
};

class TkvStandardMask;

//! A value's text as its mask shows it: the value applied to the mask with
//! the literals in place and a space where the value has no character. A
//! mask that is empty or only white space leaves the text as it is.
QString FormatMaskText(const QString &mask, const QString &value);

class TkvStandardMask {
public:
    //! Reads a mask; never fails (anything unknown is a literal).
    void SetMask(const QString &mask);
    const QString &Mask() const { return FMask; }
    bool Leading() const { return FLeading; }
    bool SaveLiteralCharacters() const { return FSaveLiteralCharacters; }
    QChar BlankChar() const { return FBlankChar; }

    int Count() const { return int(FItems.size()); }
    const TkvStandardMaskCustomItem &Item(int position) const { return *FItems[std::size_t(position)]; }
    bool IsLiteral(int position) const { return Item(position).IsLiteral(); }

    //! Literals in place and the blank character everywhere else.
    QString MaskedEmptyText() const;
    //! The value text of the masked empty text.
    QString DisplayEmptyText() const;
    //! Builds the edited text from a text, filling positions in order.
    QString Apply(const QString &text) const;
    //! Applies text from position from of an edited text; the position after
    //! the last character placed.
    int ApplyAt(QString &edited, int from, const QString &text) const;
    //! The value's text of an edited text.
    QString TextForValue(const QString &edited) const;
    bool IsValid(const QString &text, bool ignoreMaskBlank) const;

private:
    QString FMask;
    bool FLeading = false;
    bool FSaveLiteralCharacters = true;
    QChar FBlankChar = u'_';
    std::vector<std::unique_ptr<TkvStandardMaskCustomItem>> FItems;
};

} // namespace kestrum
