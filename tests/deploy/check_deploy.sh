#!/usr/bin/env bash
# The recipes in deploy/ are well-formed: the shell scripts parse, the Slurm batch script runs
# shard K of N from its array, and the Kubernetes manifest is valid YAML describing an Indexed
# Job whose completions, parallelism and shard count agree. (No cluster runs here: scripts/try-slurm
# runs the Slurm recipe on a one-node cluster of this machine.)
set -euo pipefail
deploy="$1/deploy"
bash -n "$deploy/parallel/run-shards"
bash -n "$deploy/slurm/corvane-shards.sbatch"
grep -q -- '--shard "${SLURM_ARRAY_TASK_ID}/${SLURM_ARRAY_TASK_COUNT}"' \
  "$deploy/slurm/corvane-shards.sbatch"
python3 - "$deploy/kubernetes/corvane-shards.yaml" <<'PY'
import re, sys, yaml
with open(sys.argv[1]) as f:
    job = yaml.safe_load(f)
assert job["apiVersion"] == "batch/v1" and job["kind"] == "Job", "not a Job"
job_body = job["spec"]
assert job_body["completionMode"] == "Indexed", "not an Indexed Job"
assert job_body["completions"] == job_body["parallelism"], "completions and parallelism differ"
pod = job_body["template"]["spec"]
assert pod["restartPolicy"] == "Never"
command = " ".join(pod["containers"][0]["args"])
shards = re.search(r'--shard "\$JOB_COMPLETION_INDEX/(\d+)"', command)
assert shards and int(shards.group(1)) == job_body["completions"], "the shard count is not completions"
mounts = {m["name"] for m in pod["containers"][0]["volumeMounts"]}
assert mounts <= {v["name"] for v in pod["volumes"]}, "a mount without its volume"
print("deploy recipes: ok")
PY
