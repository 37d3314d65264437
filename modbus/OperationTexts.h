// Log lines and table rows that the serial and the TCP operations share word for word.
#pragma once
