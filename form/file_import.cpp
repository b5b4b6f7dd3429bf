// The sheets of report files, read by the file readers, fed to the import one sheet at a time.
#include "form/file_import.h"

#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally_view.h"
#include "engine/text.h"
#include "sheets/workbook.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace brisquel {

namespace {

// Each sheet the readers hand on is one import pass, with its progress from its first row.
class ImportSink final : public sheets::SheetSink {
public:
    ImportSink(TallyState& state, TallyView& view, std::size_t textLimit)
        : m_state(state), m_view(view), m_textLimit(textLimit) {}

    void beginSheet(sheets::SheetSize expected) override {
        m_expected = expected;
        m_sheetStart = m_state.rowsMark();
        startPass();
    }
    void append(std::string_view text) override {
        if (m_state.alltxt().size() + text.size() > m_textLimit)
            throw std::bad_alloc();
        m_pass->append(text);
    }
    void restartSheet() override {
        m_pass.reset();
        restore(m_sheetStart);
        startPass();
    }
    void endSheet() override {
        m_pass->finish();
        m_pass.reset();
    }

    void restore(TallyState::RowsMark mark) {
        m_pass.reset();
        m_state.restoreRows(mark);
        m_view.showText(LabelId::Label5, DecimalText(m_state.alltxti()).view());
    }

private:
    // What a file says of its size is only an estimate, and may be anything: room is made
    // for no more than the limit leaves. The text itself is held to the limit as it comes.
    void startPass() {
        const std::size_t room = m_textLimit - std::min(m_textLimit, m_state.alltxt().size());
        m_pass =
            std::make_unique<ImportPass>(m_state, m_view, m_expected.rows, std::min(m_expected.bytes, room));
    }

    TallyState& m_state;
    TallyView& m_view;
    const std::size_t m_textLimit;
    sheets::SheetSize m_expected;
    TallyState::RowsMark m_sheetStart;
    std::unique_ptr<ImportPass> m_pass;
};

FileFailure failureOf(sheets::Problem problem) {
    switch (problem) {
    case sheets::Problem::NotASpreadsheet:
        return FileFailure::NotASpreadsheet;
    case sheets::Problem::OtherSpreadsheet:
        return FileFailure::OtherSpreadsheet;
    case sheets::Problem::Damaged:
        return FileFailure::Damaged;
    case sheets::Problem::Encrypted:
        return FileFailure::Encrypted;
    case sheets::Problem::Empty:
        return FileFailure::Empty;
    }
    return FileFailure::Damaged;
}

// The file readers run on a second thread, handing what they read through a short queue to
// the import on the window's thread, so that reading a file (inflating, decoding) and importing
// its rows take the two cores at once. Only the reader runs there: the tally state and the
// window are touched on the caller's thread alone.
class ReaderThread final : private sheets::SheetSink {
public:
    explicit ReaderThread(std::string_view bytes) : m_thread([this, bytes] { read(bytes); }) {}
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;
    // Stops the reader where it stands, if it still reads, and waits for it.
    ~ReaderThread() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    // Hands everything the reader gives to `sink`, in order, then rethrows what ended the
    // reader, if anything did.
    void drainInto(sheets::SheetSink& sink) {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_done; });
            if (m_queue.empty()) {
                if (m_error)
                    std::rethrow_exception(m_error);
                return;
            }
            Event event = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            m_changed.notify_all();
            switch (event.kind) {
            case Event::Begin:
                sink.beginSheet(event.size);
                break;
            case Event::Append:
                sink.append(event.text);
                break;
            case Event::Restart:
                sink.restartSheet();
                break;
            case Event::End:
                sink.endSheet();
                break;
            }
        }
    }

private:
    struct Event {
        enum Kind { Begin, Append, Restart, End } kind;
        sheets::SheetSize size = {};
        std::string text = {};
    };
    struct Stopped {};

    // Text is handed on in pieces of about this size, and this many at most wait.
    static constexpr std::size_t pieceSize = std::size_t{1} << 20;
    static constexpr std::size_t queuedPieces = 8;

    void read(std::string_view bytes) {
        std::exception_ptr error;
        try {
            sheets::readWorkbook(bytes, *this);
        } catch (const Stopped&) {
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard lock(m_mutex);
        m_error = error;
        m_done = true;
        m_changed.notify_all();
    }

    void beginSheet(sheets::SheetSize expected) override { push({Event::Begin, expected}); }
    void append(std::string_view text) override {
        m_piece.append(text);
        if (m_piece.size() >= pieceSize)
            flush();
    }
    void restartSheet() override {
        m_piece.clear();
        push({Event::Restart});
    }
    void endSheet() override {
        flush();
        push({Event::End});
    }

    void flush() {
        if (!m_piece.empty())
            push({Event::Append, {}, std::exchange(m_piece, {})});
    }
    void push(Event event) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < queuedPieces || m_stopped; });
        if (m_stopped)
            throw Stopped();
        m_queue.push_back(std::move(event));
        lock.unlock();
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Event> m_queue;
    bool m_done = false;
    bool m_stopped = false;
    std::exception_ptr m_error;
    std::string m_piece;  // the reader's side only
    std::thread m_thread; // last: started once everything it uses is there
};

FileImportResult importFile(const std::string& path, ImportSink& sink) {
    try {
        const FileBytes file = readWholeFile(path);
        if (!file.ok())
            return {FileFailure::CannotOpen, path, file.error};
        ReaderThread(file.bytes()).drainInto(sink);
    } catch (const sheets::ReadError& error) {
        return {failureOf(error.problem()), path, error.detail()};
    } catch (const std::bad_alloc&) {
        return {FileFailure::OutOfMemory, path, {}};
    } catch (const std::exception&) {
        // Whatever else stops a reader (no thread to be had, a fault of its own) must not end
        // the program with the clerk's earlier imports: the file is taken as unreadable.
        return {FileFailure::Damaged, path, "读取时出错"};
    }
    return {};
}

} // namespace

FileImportResult importFiles(TallyState& state, const std::vector<std::string>& paths, TallyView& view,
                             std::size_t textLimit) {
    const TallyState::RowsMark start = state.rowsMark();
    ImportSink sink(state, view, textLimit);
    for (const std::string& path : paths) {
        FileImportResult result = importFile(path, sink);
        if (!result.ok()) {
            sink.restore(start);
            state.releaseSpareRows();
            return result;
        }
    }
    state.releaseSpareRows();
    return {};
}

} // namespace brisquel
