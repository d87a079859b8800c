#!/usr/bin/env bash
# Lists every include in src/ that runs back up a floor, and fails when there is one. The
# floors, lowest first: platform, data, image, records, model, report, history, output, league,
# live, app. A file may include its own floor and the floors below it.
set -euo pipefail
cd "${1:-$(dirname "$0")/../src}"
floors=(platform data image records model report history output league live app)
declare -A level
for i in "${!floors[@]}"; do
    level[${floors[$i]}]=$i
done
upward=0
while IFS= read -r hit; do
    file=${hit%%:*}
    target=$(sed -E 's/.*#include "([a-z_]+)\/.*/\1/' <<<"$hit")
    from=${file%%/*}
    [[ -n ${level[$from]:-} && -n ${level[$target]:-} ]] || continue
    if ((level[$target] > level[$from])); then
        echo "up a floor: $hit"
        upward=$((upward + 1))
    fi
done < <(grep -rnE '^#include "[a-z_]+/' --include='*.h' --include='*.cpp' .  | sed 's#^\./##')
echo "$upward includes run up a floor"
((upward == 0))
