#pragma once

// What closing a form does, as its FormClose handler decides: nothing (the
// form stays open), hide it, destroy it, or minimize it.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
