# Joins "case milliseconds" lines of the peer (first file) and ours (second),
# keeping the best time of each side per case, in the order ours prints them.
BEGIN { n = 0 }
NR == FNR {
  if (!($1 in peer) || $2 + 0 < peer[$1] + 0) peer[$1] = $2
  next
}
{
  if (!($1 in ours)) {
    order[n] = $1
    n = n + 1
    ours[$1] = $2
  } else if ($2 + 0 < ours[$1] + 0) {
    ours[$1] = $2
  }
}
END {
  for (i = 0; i < n; i++) {
    c = order[i]
    printf "%-24s %10.2f %10.2f %7.2f\n", c, ours[c], peer[c], (peer[c] > 0 ? ours[c] / peer[c] : 0)
  }
}
