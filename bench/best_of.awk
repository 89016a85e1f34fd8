# Joins "case wall_ms cpu_ms" lines of the peer (first file) and ours
# (second), keeping the best of each column and side per case, in the
# order ours prints them.
function keep(table, key, value) {
  if (!(key in table) || value + 0 < table[key] + 0) table[key] = value
}
BEGIN { n = 0 }
NR == FNR {
  keep(peer_wall, $1, $2)
  keep(peer_cpu, $1, $3)
  next
}
{
  if (!($1 in ours_wall)) {
    order[n] = $1
    n = n + 1
  }
  keep(ours_wall, $1, $2)
  keep(ours_cpu, $1, $3)
}
END {
  for (i = 0; i < n; i++) {
    c = order[i]
    printf "%-24s %9.2f %9.2f %6.2f   %9.2f %9.2f %6.2f\n", c, ours_wall[c], peer_wall[c],
           (peer_wall[c] > 0 ? ours_wall[c] / peer_wall[c] : 0), ours_cpu[c], peer_cpu[c],
           (peer_cpu[c] > 0 ? ours_cpu[c] / peer_cpu[c] : 0)
  }
}
