#pragma once
// How the answering window's run ended, as it tells the call handler.

enum : int { OUTCOME_MESSAGE = 1, OUTCOME_NO_MESSAGE = 2 };
