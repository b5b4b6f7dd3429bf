// The sheets of report files, read by the file readers, fed to the import one sheet at a time.
#include "form/file_import.h"

#include "engine/export.h"
#include "engine/import.h"
#include "engine/state.h"
#include "engine/tally_view.h"
#include "engine/text.h"
#include "sheets/workbook.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <utility>
#include <vector>

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
    // The reader has handed nothing on for a while.
    void poll() override { m_view.stillWorking(); }

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

// A file that could not be read at all, in the system's words.
struct CannotOpen {
    std::string reason;
};

// The file is read, and its reader runs, on a second thread, handing what it reads through a
// short queue to the import on the window's thread, so that reading a file (inflating,
// decoding) and importing its rows take the two cores at once, and the window keeps painting
// while a large file comes off a slow disk. Only the reader runs there: the tally state and
// the window are touched on the caller's thread alone. The text's buffers travel whole: the
// reader's writer fills one, the queue takes it, the import reads it and hands it back empty
// for the writer to fill again, so the text is copied once, into alltxt.
class ReaderThread final : private sheets::SheetSink {
public:
    ReaderThread(SheetReader read, const std::string& path)
        : m_thread([this, read, path] { run(read, path); }) {}
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;
    // Stops the reader where it stands, if it still reads, and waits for it.
    ~ReaderThread() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_room.notify_one();
        m_thread.join();
    }

    // Hands everything the reader gives to `sink`, in order, polling it while the reader gives
    // nothing for a while, then rethrows what ended the reader, if anything did.
    void drainInto(sheets::SheetSink& sink) {
        std::string emptied;
        for (;;) {
            std::unique_lock lock(m_mutex);
            if (emptied.capacity() > 0 && emptied.capacity() <= spareCapacity && m_spares.size() < maxSpares)
                m_spares.push_back(std::move(emptied));
            emptied = {};
            while (!m_ready.wait_for(lock, quietInterval, [this] { return !m_queue.empty() || m_done; })) {
                lock.unlock();
                sink.poll();
                lock.lock();
            }
            if (m_queue.empty()) {
                if (m_error)
                    std::rethrow_exception(m_error);
                return;
            }
            Event event = std::move(m_queue.front());
            m_queue.pop_front();
            m_queuedBytes -= event.charge();
            lock.unlock();
            m_room.notify_one();
            switch (event.kind) {
            case Event::Begin:
                sink.beginSheet(event.size);
                break;
            case Event::Append:
                sink.append(event.text);
                event.text.clear();
                emptied = std::move(event.text);
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

        // What the event holds of memory while it waits: a buffer is charged its room, not its
        // text, as a small piece in a large buffer holds all of it.
        std::size_t charge() const { return sizeof(Event) + text.capacity(); }
    };
    struct Stopped {};

    // Text appended as views is gathered into pieces of at least this size.
    static constexpr std::size_t pieceSize = std::size_t{1} << 20;
    // The reader waits while the queue holds this much. A few of the writers' pieces of 1 to
    // 1.25 MiB keep the import busy while the reader catches up (and the other way round);
    // more only holds memory, which a 32-bit program has little of beside alltxt.
    static constexpr std::size_t maxQueuedBytes = std::size_t{8} << 20;
    // Emptied buffers kept for the writer to fill again; a larger one, grown around one huge
    // cell, is let go.
    static constexpr std::size_t maxSpares = 4;
    static constexpr std::size_t spareCapacity = 2 * pieceSize;
    // While the reader hands nothing on for this long, the import's sink is polled, for the
    // window to keep painting.
    static constexpr std::chrono::milliseconds quietInterval{25};

    void run(SheetReader read, const std::string& path) {
        std::exception_ptr error;
        try {
            const FileBytes file = readWholeFile(path);
            if (!file.ok())
                throw CannotOpen{file.error};
            read(file.bytes(), *this);
        } catch (const Stopped&) {
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_error = error;
            m_done = true;
        }
        m_ready.notify_one();
    }

    void beginSheet(sheets::SheetSize expected) override { push({Event::Begin, expected}); }
    // A view is gathered into m_piece, which goes once the next view would not fit.
    void append(std::string_view text) override {
        if (!m_piece.empty() && m_piece.size() + text.size() > m_piece.capacity())
            push({Event::Append}, &m_piece);
        if (m_piece.capacity() < pieceSize)
            m_piece.reserve(pieceSize);
        m_piece.append(text);
    }
    void give(std::string& text) override {
        if (!m_piece.empty())
            push({Event::Append}, &m_piece);
        if (!text.empty())
            push({Event::Append}, &text);
    }
    void poll() override {
        if (m_stopped.load(std::memory_order_relaxed))
            throw Stopped();
    }
    void restartSheet() override {
        m_piece.clear();
        push({Event::Restart});
    }
    void endSheet() override {
        if (!m_piece.empty())
            push({Event::Append}, &m_piece);
        push({Event::End});
    }

    // Queues `event` once the queue has room for it, with `text` moved in when given; `text`
    // is left empty, with the room of an emptied buffer when one is there.
    void push(Event event, std::string* text = nullptr) {
        std::unique_lock lock(m_mutex);
        if (text)
            event.text = std::move(*text);
        const std::size_t charge = event.charge();
        m_room.wait(lock,
                    [&] { return m_queue.empty() || m_queuedBytes + charge <= maxQueuedBytes || m_stopped; });
        if (m_stopped)
            throw Stopped();
        m_queuedBytes += charge;
        m_queue.push_back(std::move(event));
        if (text) {
            *text = {};
            if (!m_spares.empty()) {
                *text = std::move(m_spares.back());
                m_spares.pop_back();
            }
        }
        lock.unlock();
        m_ready.notify_one();
    }

    std::mutex m_mutex;
    std::condition_variable m_ready; // the import waits for an event
    std::condition_variable m_room;  // the reader waits for room
    std::deque<Event> m_queue;
    std::size_t m_queuedBytes = 0;
    std::vector<std::string> m_spares; // emptied, kept for the reader
    bool m_done = false;
    std::atomic<bool> m_stopped = false; // set under m_mutex, read without it by poll
    std::exception_ptr m_error;
    std::string m_piece;  // the reader's side only
    std::thread m_thread; // last: started once everything it uses is there
};

FileImportResult importFile(const std::string& path, SheetReader read, ImportSink& sink) {
    try {
        ReaderThread(read, path).drainInto(sink);
    } catch (const CannotOpen& failure) {
        return {FileFailure::CannotOpen, path, failure.reason};
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
    return importFiles(state, paths, view, textLimit, sheets::readWorkbook);
}

FileImportResult importFiles(TallyState& state, const std::vector<std::string>& paths, TallyView& view,
                             std::size_t textLimit, SheetReader read) {
    const TallyState::RowsMark start = state.rowsMark();
    ImportSink sink(state, view, textLimit);
    for (const std::string& path : paths) {
        FileImportResult result = importFile(path, read, sink);
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
