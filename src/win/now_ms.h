// A monotonic clock in milliseconds, for pacing work against the dialog.
#pragma once

double NowMs();
