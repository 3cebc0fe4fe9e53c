#include "SpoolerQueries.h"

#include "EPrinter.h"
#include "PrinterList.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace ostrel {

struct SpoolerQueries::State {
    std::shared_ptr<Spooler> spooler;
    unsigned printersAsked = 0;
    unsigned defaultAsked = 0;
};

namespace {

// Runs `ask` on a pool thread, then `deliver` with its result on the
// interface thread, unless the queries are gone by then.
template <class Result>
void AskOffThread(const std::shared_ptr<SpoolerQueries::State>& state, std::function<Result(Spooler*)> ask,
                  std::function<void(SpoolerQueries::State&, Result)> deliver)
{
    std::weak_ptr<SpoolerQueries::State> weak = state;
    std::shared_ptr<Spooler> spooler = state->spooler;
    QThreadPool::globalInstance()->start([weak, spooler, ask = std::move(ask), deliver = std::move(deliver)] {
        Result result = ask(spooler.get());
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, deliver, result = std::move(result)]() mutable {
                if (auto alive = weak.lock())
                    deliver(*alive, std::move(result));
            },
            Qt::QueuedConnection);
    });
}

}  // namespace

SpoolerQueries::SpoolerQueries(std::shared_ptr<Spooler> spooler) : state_(std::make_shared<State>())
{
    state_->spooler = std::move(spooler);
}

SpoolerQueries::~SpoolerQueries() = default;

void SpoolerQueries::AskPrinters(std::function<void(PrinterListAnswer)> answer)
{
    const unsigned asked = ++state_->printersAsked;
    AskOffThread<PrinterListAnswer>(
        state_,
        [](Spooler* spooler) {
            PrinterListAnswer result;
            if (!spooler)
                return result;
            try {
                result.names = EnumeratePrinters(*spooler);
            } catch (const EPrinter& error) {
                result.failure = error.Message();
            }
            return result;
        },
        [asked, answer = std::move(answer)](State& state, PrinterListAnswer result) {
            if (asked == state.printersAsked)
                answer(std::move(result));
        });
}

void SpoolerQueries::AskDefaultPrinter(std::function<void(std::optional<std::string>)> answer)
{
    const unsigned asked = ++state_->defaultAsked;
    AskOffThread<std::optional<std::string>>(
        state_, [](Spooler* spooler) { return spooler ? DefaultPrinterName(*spooler) : std::nullopt; },
        [asked, answer = std::move(answer)](State& state, std::optional<std::string> result) {
            if (asked == state.defaultAsked)
                answer(std::move(result));
        });
}

}  // namespace ostrel
