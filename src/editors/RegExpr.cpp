#include "editors/RegExpr.h"

#include <QIODevice>

namespace kestrum {

EkvRegExprError::EkvRegExprError(TkvRegExprErrors errors)
    : Exception(RegExprErrorsText(errors).toStdString()), FErrors(std::move(errors))
{
}

QString RegExprErrorsText(const TkvRegExprErrors &errors)
{
    QString text = QStringLiteral("Regular expression errors:");
    for (const TkvRegExprError &error : errors) {
        text += QStringLiteral("\r\n");
        if (error.Line > 0) {
            text += QStringLiteral("Line%1").arg(error.Line);
            if (error.Column > 0)
                text += QStringLiteral(", Char%1").arg(error.Column);
            text += QStringLiteral(": ");
        }
        text += error.Message;
    }
    return text;
}

TkvRegExpr::TkvRegExpr() = default;
TkvRegExpr::~TkvRegExpr() = default;

void TkvRegExpr::Compile(QIODevice *stream)
{
    if (!stream || !stream->isReadable()) {
        FAutomat.reset();
        FErrors = {TkvRegExprError{0, 0, QStringLiteral("The source stream is not assigned")}};
        throw EkvRegExprError(FErrors);
    }
    Compile(QString::fromUtf8(stream->readAll()));
}

void TkvRegExpr::Compile(const QString &source)
{
    FAutomat.reset();
    FErrors.clear();
    FLexems.clear();
    if (source.trimmed().isEmpty()) {
        FErrors.push_back(TkvRegExprError{0, 0, QStringLiteral("The source stream is empty")});
        throw EkvRegExprError(FErrors);
    }
    FLexems = LexRegExpr(source, FErrors);
    if (!FErrors.empty())
        throw EkvRegExprError(FErrors);
    TkvRegExprParserAlts tree = ParseRegExpr(FLexems, FErrors);
    if (!FErrors.empty())
        throw EkvRegExprError(FErrors);
    FAutomat = std::make_unique<TkvRegExprAutomat>(std::move(tree));
    FAutomat->SetCaseInsensitive(FCaseInsensitive);
}

void TkvRegExpr::SetCaseInsensitive(bool value)
{
    FCaseInsensitive = value;
    if (FAutomat)
        FAutomat->SetCaseInsensitive(value);
}

TkvRegExprAutomat &TkvRegExpr::Automat() const
{
    if (!FAutomat)
        throw EkvRegExprNotCompiled();
    return *FAutomat;
}

bool TkvRegExpr::Next(QChar &ch)
{
    if (!Automat().Next(ch))
        return false;
    if (FUpdateOn)
        Complete();
    return true;
}

QString TkvRegExpr::Complete()
{
    TkvRegExprAutomat &automat = Automat();
    QString completed;
    // Every forced step moves along a path to a final state, so the loop
    // ends; the bound only guards against a pattern that defeats that.
    for (int guard = 0; guard < kvRegExprMaxStates; ++guard) {
        std::optional<QChar> literal = automat.ForcedLiteral();
        if (!literal)
            break;
        automat.PushForced();
        completed += *literal;
        if (OnCompletion)
            OnCompletion(*literal);
    }
    return completed;
}

std::optional<QChar> TkvRegExpr::ForcedLiteral() const
{
    return Automat().ForcedLiteral();
}

std::optional<QChar> TkvRegExpr::StepForced()
{
    std::optional<QChar> literal = Automat().ForcedLiteral();
    if (literal)
        Automat().PushForced();
    return literal;
}

bool TkvRegExpr::Prev()
{
    TkvRegExprAutomat &automat = Automat();
    if (!FUpdateOn)
        return automat.Prev();
    // Peel off the completed literals first; when nothing typed is left under
    // them, put them back and refuse.
    std::vector<TkvRegExprStates> dropped;
    while (automat.AtLiteral() && automat.HistoryDepth() > 0) {
        TkvRegExprStates saved = automat.Current();
        automat.Prev();
        if (!automat.ForcedLiteral()) {
            automat.Push(std::move(saved));
            break;
        }
        dropped.push_back(std::move(saved));
    }
    if (!automat.Prev()) {
        for (auto it = dropped.rbegin(); it != dropped.rend(); ++it)
            automat.Push(std::move(*it));
        return false;
    }
    if (OnRemoval)
        for (std::size_t i = 0; i < dropped.size(); ++i)
            OnRemoval();
    return true;
}

void TkvRegExpr::Reset()
{
    Automat().Reset();
}

bool TkvRegExpr::AtFinalState() const
{
    return Automat().AtFinalState();
}

bool TkvRegExpr::AtStartState() const
{
    return Automat().AtStartState();
}

QString TkvRegExpr::Filter(const QString &text)
{
    QString accepted;
    for (QChar ch : text)
        if (Next(ch))
            accepted += ch;
    return accepted;
}

} // namespace kestrum
