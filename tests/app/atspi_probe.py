#!/usr/bin/python3
"""Reads a running program's accessible objects over AT-SPI, as a screen reader does.

  atspi_probe.py tree PID    one line per object: depth, role, name, description,
                             states (enabled, focusable, focused, showing) and the
                             press action's key binding, tab-separated
  atspi_probe.py watch PID   prints "name-changed<TAB>role<TAB>new name" for every
                             name change of the program's objects, until killed
"""
import sys
import time

import pyatspi


def application(pid, timeout=15.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    sys.exit("no accessible application with pid %d" % pid)


def key_binding(obj):
    try:
        action = obj.queryAction()
    except NotImplementedError:
        return ""
    for i in range(action.nActions):
        if action.getName(i) == "Press":
            return action.getKeyBinding(i)
    return ""


def states(obj):
    state = obj.getState()
    wanted = [("enabled", pyatspi.STATE_ENABLED), ("focusable", pyatspi.STATE_FOCUSABLE),
              ("focused", pyatspi.STATE_FOCUSED), ("showing", pyatspi.STATE_SHOWING)]
    return ",".join(name for name, value in wanted if state.contains(value))


def tree(obj, depth=0):
    fields = [str(depth), obj.getRoleName(), obj.name or "", obj.description or "", states(obj), key_binding(obj)]
    print("\t".join(f.replace("\t", " ").replace("\n", " ") for f in fields))
    for child in obj:
        if child is not None:
            tree(child, depth + 1)


def watch(pid):
    def changed(event):
        try:
            if event.source.get_process_id() != pid:
                return
            print("name-changed\t%s\t%s" % (event.source.getRoleName(), event.source.name or ""), flush=True)
        except Exception:
            pass

    pyatspi.Registry.registerEventListener(changed, "object:property-change:accessible-name")
    print("watching", flush=True)
    pyatspi.Registry.start()


if __name__ == "__main__":
    pid = int(sys.argv[2])
    if sys.argv[1] == "tree":
        tree(application(pid))
    else:
        application(pid)
        watch(pid)
