// Window procedures as tables: one entry for each message a window answers,
// naming the handler that answers it. The table is then the one list of
// what the window handles, which a procedure also needs for the messages
// that arrive when the window has no state to hand to a handler.
#pragma once

#include <windows.h>

#include <stddef.h>

template <typename Handler>
struct MessageEntry {
    UINT message;
    Handler handler;
};

// The handler that table names for message, or null when it names none.
template <typename Handler, size_t Count>
Handler FindMessageHandler(const MessageEntry<Handler> (&table)[Count], UINT message)
{
    for (const MessageEntry<Handler>& entry : table)
        if (entry.message == message)
            return entry.handler;
    return nullptr;
}
