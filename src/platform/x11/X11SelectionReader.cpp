#include "platform/x11/X11SelectionReader.h"

#include "core/CancellationError.h"
#include "core/OneShot.h"
#include "platform/x11/XcbConnection.h"

#include <QTimer>

#include <limits>

namespace vorlith {

struct X11SelectionReader::Request {
    enum class State { waitingForAnswer, receivingPieces, done };

    xcb_window_t window = XCB_WINDOW_NONE;
    State state = State::waitingForAnswer;
    OneShot<Answer> done;
    std::unique_ptr<QTimer> timer;
    Answer pieces; // INCR: the type and the bytes so far
    bool answered = false; // the owner is done with the window
    X11SelectionReader* reader = nullptr; // cleared when the reader goes first
};

namespace {

// The whole value of a property, deleting it; nothing when the server refused.
struct PropertyValue {
    xcb_atom_t type = XCB_ATOM_NONE;
    int format = 8;
    QByteArray bytes;
};

std::optional<PropertyValue> takeProperty(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property)
{
    PropertyValue value;
    uint32_t offset = 0; // in 32-bit units
    for (;;) {
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, offset,
                             std::numeric_limits<uint32_t>::max() / 4),
            nullptr));
        if (!reply)
            return std::nullopt;
        value.type = reply->type;
        value.format = reply->format ? reply->format : 8;
        const int length = xcb_get_property_value_length(reply.get());
        value.bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
        if (reply->bytes_after == 0 || length == 0)
            break;
        offset += uint32_t(length / 4);
    }
    xcb_delete_property(connection, window, property);
    xcb_flush(connection);
    if (value.bytes.isNull())
        value.bytes = QByteArray("");
    return value;
}

} // namespace

X11SelectionReader::X11SelectionReader(XcbConnection& xcb, xcb_atom_t selection, std::chrono::milliseconds noProgressTimeout)
    : m_xcb(xcb),
      m_selection(selection),
      m_property(xcb.atom("VORLITH_SELECTION")),
      m_incr(xcb.atom("INCR")),
      m_timeout(noProgressTimeout)
{
}

X11SelectionReader::~X11SelectionReader()
{
    const auto requests = m_requests;
    for (const std::shared_ptr<Request>& request : requests) {
        request->reader = nullptr;
        request->done.fail(CancellationError());
        xcb_destroy_window(m_xcb.get(), request->window);
    }
    for (const xcb_window_t window : m_parked)
        xcb_destroy_window(m_xcb.get(), window);
    xcb_flush(m_xcb.get());
}

QCoro::Task<X11SelectionReader::Answer> X11SelectionReader::convert(xcb_atom_t target, std::stop_token stop)
{
    if (stop.stop_requested())
        throw CancellationError();
    xcb_connection_t* connection = m_xcb.get();
    auto request = std::make_shared<Request>();
    request->reader = this;
    request->window = xcb_generate_id(connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, request->window, m_xcb.root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_convert_selection(connection, request->window, m_selection, target, m_property, XCB_CURRENT_TIME);
    xcb_flush(connection);
    m_requests.insert(request->window, request);

    request->timer = std::make_unique<QTimer>();
    request->timer->setSingleShot(true);
    request->timer->setInterval(m_timeout);
    QObject::connect(request->timer.get(), &QTimer::timeout, [weak = std::weak_ptr<Request>(request)] {
        if (const std::shared_ptr<Request> r = weak.lock(); r && r->reader)
            r->reader->finish(*r, Answer{PasteboardRead::Outcome::stalled, XCB_ATOM_NONE, 8, {}});
    });
    request->timer->start();

    std::stop_callback onStop(stop, [done = request->done]() mutable { done.fail(CancellationError()); });
    // Whatever ends the wait, the request is forgotten.
    struct Cleanup {
        std::shared_ptr<Request> request;
        ~Cleanup()
        {
            request->timer.reset();
            if (request->reader)
                request->reader->forget(*request);
        }
    } cleanup{request};

    OneShot<Answer> waiting = request->done;
    Answer answer = co_await waiting;
    co_return answer;
}

void X11SelectionReader::forget(const Request& request)
{
    if (!m_requests.remove(request.window))
        return;
    if (request.answered) {
        xcb_destroy_window(m_xcb.get(), request.window);
        xcb_flush(m_xcb.get());
    } else {
        // The owner may still answer, late (a stopped process that continues): its answer must
        // find the window, or the owner gets an error, which ends many programs. The window
        // stays, unheard, for as long as we run.
        m_parked.push_back(request.window);
    }
}

void X11SelectionReader::finish(Request& request, Answer answer)
{
    if (request.state == Request::State::done)
        return;
    request.answered = answer.outcome != PasteboardRead::Outcome::stalled;
    request.state = Request::State::done;
    if (request.timer)
        request.timer->stop();
    request.done.resume(std::move(answer));
}

bool X11SelectionReader::handle(const xcb_generic_event_t* event)
{
    const uint8_t kind = event->response_type & 0x7F;
    if (kind == XCB_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
        const std::shared_ptr<Request> request = m_requests.value(notify->requestor);
        if (!request || request->state != Request::State::waitingForAnswer)
            return bool(request);
        if (notify->property == XCB_ATOM_NONE)
            finish(*request, Answer{}); // refused
        else
            readAnswer(*request);
        return true;
    }
    if (kind == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        const std::shared_ptr<Request> request = m_requests.value(notify->window);
        if (!request)
            return false;
        // Our own deletions, and the answer's property before its SelectionNotify, are not pieces.
        if (request->state == Request::State::receivingPieces && notify->atom == m_property &&
            notify->state == XCB_PROPERTY_NEW_VALUE)
            readPiece(*request);
        return true;
    }
    return false;
}

void X11SelectionReader::readAnswer(Request& request)
{
    const std::optional<PropertyValue> value = takeProperty(m_xcb.get(), request.window, m_property);
    if (!value) {
        finish(request, Answer{});
        return;
    }
    if (value->type == m_incr) {
        // The owner sends pieces, each after we delete the one before (the read above
        // deleted the size announcement, which asks for the first piece).
        request.state = Request::State::receivingPieces;
        request.timer->start();
        return;
    }
    finish(request, Answer{PasteboardRead::Outcome::read, value->type, value->format, value->bytes});
}

void X11SelectionReader::readPiece(Request& request)
{
    const std::optional<PropertyValue> value = takeProperty(m_xcb.get(), request.window, m_property);
    if (!value) {
        finish(request, Answer{});
        return;
    }
    if (value->bytes.isEmpty()) { // the empty piece ends the transfer
        Answer answer = std::move(request.pieces);
        answer.outcome = PasteboardRead::Outcome::read;
        if (answer.data.isNull())
            answer.data = QByteArray("");
        finish(request, std::move(answer));
        return;
    }
    request.pieces.type = value->type;
    request.pieces.format = value->format;
    request.pieces.data.append(value->bytes);
    request.timer->start(); // progress
}

} // namespace vorlith
