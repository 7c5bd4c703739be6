#include "receipt/formsaver.h"
#include "receipt/receiptloader.h"
#include "receipt/receiptsaver.h"

namespace zelk::receipt {

FormSaver::FormSaver(store::Store& store, Ask ask) : store_(store), ask_(std::move(ask)) {}

FormSaveOutcome FormSaver::save(const ReceiptEntry& entry) {
    ReceiptSaver saver(store_);
    saver.setToken(token_);
    const auto saved = [&saver](const QString& id) {
        FormSaveOutcome outcome;
        outcome.kind = FormSaveOutcome::Kind::Saved;
        outcome.receiptId = id;
        outcome.changes = saver.changes();
        return outcome;
    };
    const auto saveAsNew = [&] {
        ReceiptEntry asNew = entry;
        asNew.receiptId.clear();
        return saved(saver.save(asNew));
    };
    try {
        return saved(saver.save(entry));
    } catch (const ReceiptGone& gone) {
        // The way out that loses nothing: the form, as it is, becomes a new receipt.
        if (!ask_(gone.message() + QStringLiteral("\n\n要把本页的内容另存为一张新票据吗？"
                                                  "本页填写的内容都会保存，不必重新输入。")))
            return {};
        return saveAsNew();
    } catch (const ReceiptChanged& changed) {
        // Two ways on: keep this form as a new receipt, or take the other change.
        if (ask_(changed.message() +
                 QStringLiteral("\n\n要把本页的内容另存为一张新票据吗？"
                                "（选“否”可以改为重新读取该票据的最新内容。）")))
            return saveAsNew();
        if (!ask_(QStringLiteral("要重新读取该票据的最新内容吗？本页未保存的修改将被放弃。")))
            return {};
        FormSaveOutcome outcome;
        outcome.kind = FormSaveOutcome::Kind::Reloaded;
        outcome.reloaded = loadReceipt(store_, entry.receiptId.toLongLong());
        return outcome;
    }
}

} // namespace zelk::receipt
