#!/usr/bin/env bash
# A page with a rich-text field of N blocks of Japanese prose (a block per
# line, as Return makes them), the caret's place below the last: what
# bench/idle_cost.sh and bench/typing_cost.sh keep boxes in.
# Usage: bench/kept_boxes_page.sh N > page.html
set -euo pipefail
python3 - "${1:-1500}" <<'PY'
import sys
n = int(sys.argv[1])
line = "今日は良い天気なので、公園を散歩しました。"
blocks = "".join("<div>" + line + "</div>" for _ in range(n))
print('<!doctype html><meta charset="utf-8"><title>Kept boxes</title>'
      '<div id="f" contenteditable style="width:90%;height:80vh;overflow:auto;font:20px sans-serif">'
      + blocks + '</div>')
PY
