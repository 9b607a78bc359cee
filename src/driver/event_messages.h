// The messages of the run's events, in English: the source of the message
// table in SETUP.EXE's resources. The build (tools/nlsc) makes that table in
// every language from these texts and their translations in nls/*.po.
#pragma once

#include <optional>
#include <span>

#include "rules/event_ids.h"

namespace qsetup {

// The label of a fact on the lines of the messages, followed by its value.
struct EventFactLabel {
  EventFact fact;
  const char* label;
};

// A line of a message that shows a fact: its label, its value, and the value
// of `beside` after it where that fact has no line of its own.
struct EventFactLine {
  EventFact fact;
  std::optional<EventFact> beside = std::nullopt;
};

// The message of an event id: one paragraph that says what happened and what
// to do next, a blank line, then the facts of the run, a line each.
struct EventMessage {
  EventId id;
  const char* symbol;  // the id's name in the header that the message compiler writes
  const char* text;
  std::span<const EventFactLine> facts;
};

// The labels of the facts that messages show on lines of their own.
std::span<const EventFactLabel> EventFactLabels();

// Every event id's message.
std::span<const EventMessage> EventMessages();

}  // namespace qsetup
