#pragma once
// Character classes and quantifiers of the mask expression language.
#include <QChar>

#include <memory>
#include <optional>
#include <vector>

namespace kestrum {

//! A character class: answers whether one character matches.
class TkvRegExprItem {
public:
    virtual ~TkvRegExprItem() = default;
    //! ch may be replaced by the pattern's own character (case-insensitive
    //! literals give back the pattern's spelling).
    virtual bool Check(QChar &ch, bool caseInsensitive) const = 0;
    virtual std::unique_ptr<TkvRegExprItem> Clone() const = 0;
    //! The single character the class stands for, for literal completion:
    //! literals and the two separators; nothing for every other class.
    virtual std::optional<QChar> LiteralChar() const { return std::nullopt; }
};

class TkvRegExprSymbol : public TkvRegExprItem {
public:
    explicit TkvRegExprSymbol(QChar ch) : FChar(ch) {}
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;
    std::optional<QChar> LiteralChar() const override { return FChar; }

private:
    QChar FChar;
};

//! The system's date separator, read when matching.
class TkvRegExprDateSeparator : public TkvRegExprItem {
public:
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;
    std::optional<QChar> LiteralChar() const override;
};

class TkvRegExprTimeSeparator : public TkvRegExprItem {
public:
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;
    std::optional<QChar> LiteralChar() const override;
};

//! Bounds inclusive, compared as code units.
class TkvRegExprSubrange : public TkvRegExprItem {
public:
    TkvRegExprSubrange(QChar first, QChar last) : FFirst(first), FLast(last) {}
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;

private:
    QChar FFirst;
    QChar FLast;
};

//! Base of the classes that have an inverse form ("\D", "[^...]").
class TkvRegExprInvertibleItem : public TkvRegExprItem {
public:
    explicit TkvRegExprInvertibleItem(bool inverse) : FInverse(inverse) {}
    bool Inverse() const { return FInverse; }
    void SetInverse(bool value) { FInverse = value; }

protected:
    bool FInverse;
};

class TkvRegExprUserEnumeration : public TkvRegExprInvertibleItem {
public:
    TkvRegExprUserEnumeration() : TkvRegExprInvertibleItem(false) {}
    void Add(std::unique_ptr<TkvRegExprItem> item) { FItems.push_back(std::move(item)); }
    bool Empty() const { return FItems.empty(); }
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;

private:
    std::vector<std::unique_ptr<TkvRegExprItem>> FItems;
};

class TkvRegExprDigit : public TkvRegExprInvertibleItem {
public:
    explicit TkvRegExprDigit(bool inverse) : TkvRegExprInvertibleItem(inverse) {}
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;
};

class TkvRegExprIdLetter : public TkvRegExprInvertibleItem {
public:
    explicit TkvRegExprIdLetter(bool inverse) : TkvRegExprInvertibleItem(inverse) {}
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;
};

class TkvRegExprSpace : public TkvRegExprInvertibleItem {
public:
    explicit TkvRegExprSpace(bool inverse) : TkvRegExprInvertibleItem(inverse) {}
    bool Check(QChar &ch, bool caseInsensitive) const override;
    std::unique_ptr<TkvRegExprItem> Clone() const override;
};

class TkvRegExprAll : public TkvRegExprItem {
public:
    bool Check(QChar &, bool) const override { return true; }
    std::unique_ptr<TkvRegExprItem> Clone() const override { return std::make_unique<TkvRegExprAll>(); }
};

// ---- quantifiers ----

class TkvRegExprQuantifier {
public:
    virtual ~TkvRegExprQuantifier() = default;
    virtual bool CanSkip() const = 0;
    virtual bool CanRepeat() const = 0;
    virtual std::unique_ptr<TkvRegExprQuantifier> Clone() const = 0;
    //! Exactly once: the quantifier an item has before "?", "*" or "+".
    bool IsSimple() const { return !CanSkip() && !CanRepeat(); }
};

class TkvRegExprSimpleQuantifier : public TkvRegExprQuantifier {
public:
    bool CanSkip() const override { return false; }
    bool CanRepeat() const override { return false; }
    std::unique_ptr<TkvRegExprQuantifier> Clone() const override;
};

class TkvRegExprQuestionQuantifier : public TkvRegExprQuantifier {
public:
    bool CanSkip() const override { return true; }
    bool CanRepeat() const override { return false; }
    std::unique_ptr<TkvRegExprQuantifier> Clone() const override;
};

class TkvRegExprStarQuantifier : public TkvRegExprQuantifier {
public:
    bool CanSkip() const override { return true; }
    bool CanRepeat() const override { return true; }
    std::unique_ptr<TkvRegExprQuantifier> Clone() const override;
};

class TkvRegExprPlusQuantifier : public TkvRegExprQuantifier {
public:
    bool CanSkip() const override { return false; }
    bool CanRepeat() const override { return true; }
    std::unique_ptr<TkvRegExprQuantifier> Clone() const override;
};

//! The quantifier written as "?", "*" or "+".
std::unique_ptr<TkvRegExprQuantifier> MakeRegExprQuantifier(QChar symbol);

} // namespace kestrum
