#!/usr/bin/env python3
"""Checks that the folders are layers: a source of each layer, compiled with that
layer's own command from compile_commands.json, can include the headers of every
folder its layer may use and of no other folder.

Usage: check_layers.py <source dir> <build dir>
"""
import json
import os
import shlex
import subprocess
import sys
import tempfile

source_dir, build_dir = sys.argv[1:3]
layers_dir = os.path.join(build_dir, "layers")
layers = sorted(os.listdir(layers_dir))
commands = json.load(open(os.path.join(build_dir, "compile_commands.json")))


def layer_command(layer):
    """The compile command of one of the layer's own sources, as a list."""
    prefix = os.path.join(source_dir, layer) + os.sep
    for entry in commands:
        if entry["file"].startswith(prefix):
            return shlex.split(entry["command"]), entry["directory"]
    raise SystemExit(f"no source of the layer {layer} in compile_commands.json")


def a_header(folder):
    return sorted(f for f in os.listdir(os.path.join(source_dir, folder)) if f.endswith(".h"))[0]


def preprocess(command, directory, include):
    """Runs the layer's compiler on a file holding only `#include "<include>"`,
    preprocessing only; returns (succeeded, compiler output)."""
    with tempfile.NamedTemporaryFile("w", suffix=".cpp", dir=build_dir) as probe:
        probe.write(f'#include "{include}"\n')
        probe.flush()
        args = [a for a in command]
        source = args.index("-c") + 1
        args[source] = probe.name
        out = args.index("-o")
        del args[out:out + 2]
        args[args.index("-c")] = "-E"
        run = subprocess.run(args + ["-o", os.devnull], cwd=directory, capture_output=True, text=True)
        return run.returncode == 0, run.stderr


faults = []
for layer in layers:
    visible = set(os.listdir(os.path.join(layers_dir, layer)))
    command, directory = layer_command(layer)
    for folder in layers:
        include = f"{folder}/{a_header(folder)}"
        ok, output = preprocess(command, directory, include)
        if folder in visible and not ok:
            faults.append(f"{layer} may use {folder}, but cannot include {include}:\n{output}")
        if folder not in visible:
            if ok:
                faults.append(f"{layer} may not use {folder}, but includes {include}")
            elif f"{include}: No such file or directory" not in output:
                faults.append(f"{layer} including {include} failed otherwise:\n{output}")

print(f"{len(layers)} layers checked against {len(layers)} folders each")
for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
