# shellcheck shell=bash
# shellcheck disable=SC2034 # the E2E_* settings are read by the library
# Two monitors at 16-bit colour, the primary one on the right at 1920,0: the
# copy is the primary monitor's, widened to 32 bits, one to one, with shared
# memory and with Qt's own grab (which once made every crop black here).

e2e_use desktops

E2E_SCREEN_W=3840
E2E_SCREEN_H=1080
E2E_SCREEN_DEPTH=16

scenario() { check_primary_on_the_right; }
